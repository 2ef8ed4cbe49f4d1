// Drives the line images of GLFrameWidget: creation and deletion, buffer heights, widths, lines
// stored with time stamps that go forward, repeat, rewrite, are unknown or come without a context,
// the getters, and ids that do not exist. Every 128th input runs inside a paint pass and draws.
// Checked against a shadow model of each image after every operation: kept lines and their order,
// no more lines than the buffer height after a store, the time range and stamps, the bytes read back,
// the nearest line of a stamp, the return of each store, and the defaults for unknown ids.
#include "glframewidget.h"

#include <QApplication>
#include <QImage>
#include "fuzz_application.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace
{
class FuzzSurface : public GLFrameWidget
{
public:
    using GLFrameWidget::BeginContext;
    using GLFrameWidget::EndContext;
    std::function<void()> paint;

protected:
    void PaintGL() override { paint(); }
    void ResizeGL() override {}
};

struct Model
{
    int iWidth = 0;
    int iBufferHeight = 0;
    std::map<unsigned long long, std::string> Lines; // stamp -> bytes last stored
};

void Check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void CheckUnknown(FuzzSurface& w, int id)
{
    bool found = true;
    Check(w.GetLineImageLine(id, 1, found) == 0 && !found);
    Check(w.GetLineImageAvailableTimeRange(id) == std::make_pair(0ull, 0ull));
    Check(w.GetLineImageTimeStamp(id, 0) == 0 && w.GetLineImageData(id, 0).empty());
    const unsigned char byte = 7;
    Check(!w.SetLineImageData(id, 1, &byte, 1));
}

// The nearest kept line, the newer one at equal distance; -1 when no two lines bracket the stamp.
int NearestIndex(const Model& m, unsigned long long t)
{
    if (m.Lines.size() < 2 || t < m.Lines.begin()->first || t > m.Lines.rbegin()->first)
        return -1;
    const auto newer = m.Lines.lower_bound(t);
    const int index = int(std::distance(newer, m.Lines.end())) - 1;
    if (newer->first == t || newer == m.Lines.begin())
        return index;
    const unsigned long long older = std::prev(newer)->first;
    return t - older < newer->first - t ? index + 1 : index;
}

void CheckImage(FuzzSurface& w, int id, const Model& m, bool allLines)
{
    const int n = int(m.Lines.size());
    const auto range = w.GetLineImageAvailableTimeRange(id);
    Check(n == 0 ? range == std::make_pair(0ull, 0ull)
                 : range == std::make_pair(m.Lines.begin()->first, m.Lines.rbegin()->first));
    Check(range.first <= range.second);
    Check(w.GetLineImageData(id, n).empty() && w.GetLineImageData(id, -1).empty());
    Check(w.GetLineImageTimeStamp(id, n) == 0 && w.GetLineImageTimeStamp(id, INT_MIN) == 0);
    int index = n - 1;
    for (const auto& line : m.Lines) {
        Check(w.GetLineImageTimeStamp(id, index) == line.first);
        if (allLines || index == 0 || index == n - 1)
            Check(w.GetLineImageData(id, index) == line.second);
        --index;
    }
}

unsigned long long PickStamp(FuzzedDataProvider& in, const Model& m)
{
    const unsigned long long newest = m.Lines.empty() ? 0 : m.Lines.rbegin()->first;
    switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0: return newest + in.ConsumeIntegralInRange<unsigned long long>(1, 1000); // forward
    case 1: return newest;                                                          // repeat
    case 2: {                                                                       // rewrite
        if (m.Lines.empty())
            return 0;
        auto it = m.Lines.begin();
        std::advance(it, in.ConsumeIntegralInRange<size_t>(0, m.Lines.size() - 1));
        return it->first;
    }
    case 3: return newest > 0 ? newest - in.ConsumeIntegralInRange<unsigned long long>(1, newest) : 0;
    case 4: return ULLONG_MAX - in.ConsumeIntegralInRange<unsigned long long>(0, 2);
    default: return in.ConsumeIntegral<unsigned long long>();
    }
}

// What a store must do to the model; returns the expected result: true only when appended.
bool StoreInModel(Model& m, unsigned long long t, const std::string& bytes, bool& stored)
{
    stored = m.Lines.empty() || m.Lines.rbegin()->first < t || m.Lines.count(t);
    if (!stored)
        return false; // unknown existing stamp: nothing changes, not even trimming
    const bool appended = m.Lines.empty() || m.Lines.rbegin()->first < t;
    m.Lines[t] = bytes;
    while (m.Lines.size() > size_t(m.iBufferHeight))
        m.Lines.erase(m.Lines.begin());
    return appended;
}

void StoreLine(FuzzSurface& w, FuzzedDataProvider& in, int id, Model& m, bool context)
{
    const unsigned long long t = PickStamp(in, m);
    std::string bytes = in.ConsumeBytesAsString(size_t(m.iWidth));
    bytes.resize(size_t(m.iWidth), char(in.ConsumeIntegral<unsigned char>()));
    const int count = in.ConsumeBool() ? -1 : in.ConsumeIntegralInRange(-1, m.iWidth + 2);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const bool ok = count < 0 ? w.SetLineImageData(id, t, data) : w.SetLineImageData(id, t, data, count);
    const bool refused = !context || (count >= 0 && count < m.iWidth);
    bool stored = false;
    Check(ok == (!refused && StoreInModel(m, t, bytes, stored)));
    // The buffer height applies when a line is stored, not when a store is refused.
    if (stored)
        Check(m.Lines.size() <= size_t(m.iBufferHeight));
}

void Run(FuzzSurface& w, FuzzedDataProvider& in, bool drawing)
{
    std::map<int, Model> images;
    auto pick = [&]() {
        return images.empty() ? -1 : std::next(images.begin(), in.ConsumeIntegralInRange<size_t>(0, images.size() - 1))->first;
    };
    for (int op = 0; op < 200 && in.remaining_bytes() > 0; ++op) {
        const int id = pick();
        Model* m = id < 0 ? nullptr : &images[id];
        switch (in.ConsumeIntegralInRange(0, 8)) {
        case 0: {
            if (images.size() >= 4)
                break;
            const int created = w.CreateLineImage();
            Check(created >= 0 && !images.count(created));
            images[created] = Model();
            break;
        }
        case 1:
            if (m) {
                w.DeleteLineImage(id);
                images.erase(id);
                CheckUnknown(w, id);
            }
            break;
        case 2:
            if (m) {
                m->iBufferHeight = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 300) : in.ConsumeIntegral<int>();
                w.SetLineImageBufferHeight(id, m->iBufferHeight);
                m->iBufferHeight = std::max(m->iBufferHeight, 0);
            }
            break;
        case 3: {
            const int count = in.ConsumeIntegralInRange(0, 30) == 0 ? in.ConsumeIntegral<int>()
                                                                    : in.ConsumeIntegralInRange(-2, 1100);
            const double min = in.ConsumeFloatingPoint<double>(), max = in.ConsumeFloatingPoint<double>();
            if (m) {
                w.SetLineImageXAxis(id, min, max, count);
                m->iWidth = std::clamp(count, 0, GLFrameWidget::ciMaxLineImageWidth);
            }
            break;
        }
        case 4:
        case 5:
            if (m)
                StoreLine(w, in, id, *m, true);
            break;
        case 6:
            if (m && !drawing) {
                w.EndContext(false);
                StoreLine(w, in, id, *m, false);
                Check(w.BeginContext());
            }
            break;
        case 7:
            if (m) {
                const unsigned long long t = PickStamp(in, *m) + in.ConsumeIntegralInRange(-3, 3);
                bool found = false;
                const int line = w.GetLineImageLine(id, t, found);
                const int expected = NearestIndex(*m, t);
                Check(found == (expected >= 0) && line == std::max(expected, 0));
            }
            break;
        default: {
            const int other = in.ConsumeBool() ? in.ConsumeIntegral<int>() : in.ConsumeIntegralInRange(-2, 8);
            if (!images.count(other))
                CheckUnknown(w, other);
            break;
        }
        }
        for (const auto& image : images)
            CheckImage(w, image.first, image.second, false);
    }
    for (const auto& image : images) {
        CheckImage(w, image.first, image.second, true);
        if (drawing) {
            w.SetLineImageYAxis(image.first, 0, 64);
            w.SetLineImageDestYAxis(image.first, 0, 64);
            w.SetLineImageDestXAxis(image.first, 0, 63, 64);
            w.BeginViewPort(0, 0, 64, 64);
            w.DrawLineImage(image.first);
            w.EndViewPort(0, 0);
        }
        w.DeleteLineImage(image.first);
    }
}

FuzzSurface* s_pSurface = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    StartOffscreenApplication();
    s_pSurface = new FuzzSurface;
    s_pSurface->resize(64, 64);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static unsigned long long s_uInputs = 0;
    FuzzedDataProvider in(data, size);
    FuzzSurface& w = *s_pSurface;
    if (s_uInputs++ % 128 == 0) {
        w.paint = [&]() { Run(w, in, true); };
        QImage image;
        Check(w.RenderToImage(&image) && image.width() == 64);
    } else {
        Check(w.BeginContext());
        Run(w, in, false);
        w.EndContext(false);
    }
    return 0;
}
