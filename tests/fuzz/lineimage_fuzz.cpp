// Drives GLFrameWidget's line images: creation, deletion, buffer heights, widths, lines stored with time stamps that
// go forward, repeat, rewrite, are unknown or come without a context, the getters, and ids that do not exist; every
// 128th input draws in a paint pass. Checked against a shadow model of each image after every operation: kept lines
// and their order, time range and stamps, bytes read back, nearest line of a stamp, each store's return, defaults.
#include "fuzz_application.h"

#include <QImage>

#include <algorithm>
#include <climits>
#include <iterator>
#include <map>
#include <string>

namespace {
using Stamp = unsigned long long;

// The shadow of one image: its width, its buffer height and the bytes last stored under each kept stamp.
struct Model { int iWidth = 0, iBufferHeight = 0; std::map<Stamp, std::string> Lines; };

void CheckUnknown(FuzzSurface& w, int id)
{
    bool found = true;
    const unsigned char byte = 7;
    Check(w.GetLineImageLine(id, 1, found) == 0 && !found && w.GetLineImageTimeStamp(id, 0) == 0);
    Check(w.GetLineImageAvailableTimeRange(id) == std::make_pair(0ull, 0ull) && w.GetLineImageData(id, 0).empty());
    Check(!w.SetLineImageData(id, 1, &byte, 1));
}

// The nearest kept line, the newer one at equal distance; -1 when no two lines bracket the stamp.
int NearestIndex(const Model& m, Stamp t)
{
    if (m.Lines.size() < 2 || t < m.Lines.begin()->first || t > m.Lines.rbegin()->first) return -1;
    const auto newer = m.Lines.lower_bound(t);
    const int index = int(std::distance(newer, m.Lines.end())) - 1;
    if (newer->first == t || newer == m.Lines.begin()) return index;
    return t - std::prev(newer)->first < newer->first - t ? index + 1 : index;
}

// Index 0 is the newest line; every line's bytes are read back at the end of an input only.
void CheckImage(FuzzSurface& w, int id, const Model& m, bool allLines)
{
    const int n = int(m.Lines.size());
    const auto range = w.GetLineImageAvailableTimeRange(id);
    Check(n == 0 ? range == std::make_pair(0ull, 0ull)
                 : range == std::make_pair(m.Lines.begin()->first, m.Lines.rbegin()->first));
    Check(w.GetLineImageData(id, n).empty() && w.GetLineImageData(id, -1).empty());
    Check(w.GetLineImageTimeStamp(id, n) == 0 && w.GetLineImageTimeStamp(id, INT_MIN) == 0);
    int index = n - 1;
    for (auto line = m.Lines.begin(); line != m.Lines.end(); ++line, --index)
        Check(w.GetLineImageTimeStamp(id, index) == line->first &&
              (!(allLines || index == 0 || index == n - 1) || w.GetLineImageData(id, index) == line->second));
}

Stamp PickStamp(FuzzedDataProvider& in, const Model& m)
{
    const Stamp newest = m.Lines.empty() ? 0 : m.Lines.rbegin()->first;
    switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0: return newest + in.ConsumeIntegralInRange<Stamp>(1, 1000); // forward
    case 1: return newest;                                             // repeat
    case 2: // rewrite a kept line
        if (m.Lines.empty()) return 0;
        return std::next(m.Lines.begin(), in.ConsumeIntegralInRange<size_t>(0, m.Lines.size() - 1))->first;
    case 3: return newest > 0 ? newest - in.ConsumeIntegralInRange<Stamp>(1, newest) : 0;
    case 4: return ULLONG_MAX - in.ConsumeIntegralInRange<Stamp>(0, 2);
    default: return in.ConsumeIntegral<Stamp>();
    }
}

// A store is refused without a context or with fewer bytes than the width, and ignored for an older stamp that
// is not kept (not even trimming then); it returns true only when it appends a line. The buffer height applies
// when a line is stored.
void StoreLine(FuzzSurface& w, FuzzedDataProvider& in, int id, Model& m, bool context)
{
    const Stamp t = PickStamp(in, m);
    std::string bytes = in.ConsumeBytesAsString(size_t(m.iWidth));
    bytes.resize(size_t(m.iWidth), char(in.ConsumeIntegral<unsigned char>()));
    const int count = in.ConsumeBool() ? -1 : in.ConsumeIntegralInRange(-1, m.iWidth + 2);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const bool ok = count < 0 ? w.SetLineImageData(id, t, data) : w.SetLineImageData(id, t, data, count);
    const bool refused = !context || (count >= 0 && count < m.iWidth);
    const bool appended = m.Lines.empty() || m.Lines.rbegin()->first < t;
    Check(ok == (!refused && appended));
    if (refused || (!appended && !m.Lines.count(t))) return;
    m.Lines[t] = bytes;
    while (m.Lines.size() > size_t(m.iBufferHeight))
        m.Lines.erase(m.Lines.begin());
}

void Run(FuzzSurface& w, FuzzedDataProvider& in, bool drawing)
{
    std::map<int, Model> images;
    for (int op = 0; op < 200 && in.remaining_bytes() > 0; ++op) {
        const int id = images.empty()
                           ? -1
                           : std::next(images.begin(), in.ConsumeIntegralInRange<size_t>(0, images.size() - 1))->first;
        Model* m = id < 0 ? nullptr : &images[id];
        switch (in.ConsumeIntegralInRange(0, 8)) {
        case 0: {
            if (images.size() >= 4) break;
            const int created = w.CreateLineImage();
            Check(created >= 0 && images.emplace(created, Model()).second); // never an id in use
            break;
        }
        case 1: if (m) w.DeleteLineImage(id), images.erase(id), CheckUnknown(w, id); break;
        case 2:
            if (!m) break;
            m->iBufferHeight = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 300) : in.ConsumeIntegral<int>();
            w.SetLineImageBufferHeight(id, m->iBufferHeight), m->iBufferHeight = std::max(m->iBufferHeight, 0);
            break;
        case 3: {
            const int count =
                in.ConsumeIntegralInRange(0, 30) == 0 ? in.ConsumeIntegral<int>() : in.ConsumeIntegralInRange(-2, 1100);
            const double min = in.ConsumeFloatingPoint<double>(), max = in.ConsumeFloatingPoint<double>();
            if (!m) break;
            w.SetLineImageXAxis(id, min, max, count);
            m->iWidth = std::clamp(count, 0, GLFrameWidget::ciMaxLineImageWidth);
            break;
        }
        case 4:
        case 5: if (m) StoreLine(w, in, id, *m, true); break;
        case 6: // a store between two frames
            if (!m || drawing) break;
            w.EndContext(false), StoreLine(w, in, id, *m, false), Check(w.BeginContext());
            break;
        case 7: {
            if (!m) break;
            const Stamp t = PickStamp(in, *m) + in.ConsumeIntegralInRange(-3, 3);
            bool found = false;
            const int line = w.GetLineImageLine(id, t, found), expected = NearestIndex(*m, t);
            Check(found == (expected >= 0) && line == std::max(expected, 0));
            break;
        }
        default: {
            const int other = in.ConsumeBool() ? in.ConsumeIntegral<int>() : in.ConsumeIntegralInRange(-2, 8);
            if (!images.count(other)) CheckUnknown(w, other);
        }
        }
        for (const auto& image : images)
            CheckImage(w, image.first, image.second, false);
    }
    for (const auto& [id, model] : images) {
        CheckImage(w, id, model, true);
        if (drawing) {
            w.SetLineImageYAxis(id, 0, 64), w.SetLineImageDestYAxis(id, 0, 64), w.SetLineImageDestXAxis(id, 0, 63, 64);
            w.BeginViewPort(0, 0, 64, 64), w.DrawLineImage(id), w.EndViewPort(0, 0);
        }
        w.DeleteLineImage(id);
    }
}

FuzzSurface* s_pSurface = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    StartOffscreenApplication();
    s_pSurface = new FuzzSurface(64, 64);
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
        Check(w.BeginContext()), Run(w, in, false), w.EndContext(false);
    }
    return 0;
}
