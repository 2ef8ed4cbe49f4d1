// Drives GLPainter recording into two GLMetaFiles: pens, brushes, fonts, balanced and unbalanced save/restore,
// transforms, shapes and texts of any values, target switches, replays into the other metafile, into itself and
// onto the widget, copies and moves. Checks: the n-th command of a kind refers to record n of its list, each call
// appends the commands the header describes, a replay appends a balanced push, source, pop run, copies and moves
// carry the commands and leave the documented source; one input in 128 paints, and a replay keeps the transform.
#include "fuzz_application.h"
#include "glpainter.h"

#include <QImage>

#include <algorithm>
#include <array>
#include <memory>

namespace {
using Commands = std::vector<GLMetaFile::GLMetaCommand>;

// Shapes and texts keep their records in lists; the other commands carry their numbers.
bool Indexed(int k) { return k == GLMetaFile::eLines || k == GLMetaFile::ePolygon || k == GLMetaFile::eText; }

void CheckStructure(const GLMetaFile& m)
{
    size_t next[GLMetaFile::eTranslate + 1] = {};
    for (const GLMetaFile::GLMetaCommand& c : m.Commands())
        Check(c.iKind >= GLMetaFile::eLines && c.iKind <= GLMetaFile::eTranslate &&
              (!Indexed(c.iKind) || c.uIndex == next[c.iKind]++));
    Check(next[GLMetaFile::eLines] == m.Lines().size() && next[GLMetaFile::ePolygon] == m.Polygons().size() &&
          next[GLMetaFile::eText] == m.Texts().size());
}

// Records are compared by kind only: a replay appends them to other lists under other indices.
bool SameCommands(const Commands& a, size_t from, const Commands& b)
{
    return std::equal(b.begin(), b.end(), a.begin() + std::ptrdiff_t(from), [](const auto& x, const auto& y) {
        return x.iKind == y.iKind && (Indexed(x.iKind) || (Same(x.dA, y.dA) && Same(x.dB, y.dB)));
    });
}

bool Balanced(const Commands& commands, size_t from)
{
    int depth = 0;
    for (size_t i = from; i < commands.size() && depth >= 0; ++i)
        depth += (commands[i].iKind == GLMetaFile::ePushTransform) - (commands[i].iKind == GLMetaFile::ePopTransform);
    return depth == 0;
}

// A replay appends a balanced run: push, the source's commands whenever the source was balanced itself, pop.
void CheckReplay(const Commands& source, const GLMetaFile& target, size_t before)
{
    const Commands& c = target.Commands();
    Check(c.size() >= before + 2 && Balanced(c, before));
    Check(c[before].iKind == GLMetaFile::ePushTransform && c.back().iKind == GLMetaFile::ePopTransform);
    Check(!Balanced(source, 0) || (c.size() == before + source.size() + 2 && SameCommands(c, before + 1, source)));
}

QColor AnyColor(FuzzedDataProvider& in) { return QColor::fromRgba(in.ConsumeIntegral<quint32>()); }

QString AnyText(FuzzedDataProvider& in)
{
    const std::string bytes = in.ConsumeRandomLengthString(24);
    return in.ConsumeBool() ? QString::fromUtf8(bytes.data(), int(bytes.size()))
                            : QString::fromLatin1(bytes.data(), int(bytes.size()));
}

QRect AnyRect(FuzzedDataProvider& in)
{
    const int x = in.ConsumeIntegral<int>(), y = in.ConsumeIntegral<int>();
    return QRect(QPoint(x, y), QPoint(in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>()));
}

double AnyDouble(FuzzedDataProvider& in)
{
    switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0: return in.ConsumeBool() ? HUGE_VAL : -HUGE_VAL;
    case 1: return in.ConsumeBool() ? 0.0 : std::nan("");
    case 2: return in.ConsumeFloatingPoint<double>();
    default: return in.ConsumeFloatingPointInRange(-100.0, 100.0);
    }
}

const Qt::PenStyle s_PenStyles[] = {Qt::SolidLine, Qt::DotLine, Qt::DashLine, Qt::NoPen};
const Qt::BrushStyle s_BrushStyles[] = {Qt::SolidPattern, Qt::NoBrush, Qt::Dense4Pattern};
const char* const s_Families[] = {"DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono"};
using MetaFiles = std::array<GLMetaFile, 2>;

MetaFiles Run(FuzzedDataProvider& in, GLFrameWidget* widget)
{
    MetaFiles files;
    GLPainter p(widget);
    GLMetaFile* target = nullptr;
    std::vector<GLMetaFile*> pushes; // where each outstanding save pushed its transform (null: GL)
    bool inBatch = false;            // the previous call recorded a line into target
    for (int op = 0; op < 200 && in.remaining_bytes() > 0; ++op) {
        GLMetaFile* const recording = target;
        const size_t before = recording ? recording->Commands().size() : 0;
        size_t added = 0; // commands the call must append to the metafile being recorded
        bool lineCall = false, replay = false;
        switch (in.ConsumeIntegralInRange(0, 19)) {
        case 0:
            p.setPen(QPen(QBrush(AnyColor(in)), in.ConsumeIntegralInRange(0, 40), in.PickValueInArray(s_PenStyles)));
            break;
        case 1: p.setBrush(QBrush(AnyColor(in), in.PickValueInArray(s_BrushStyles))); break;
        case 2:
            in.ConsumeBool() ? p.setHGradientBrush(AnyColor(in), AnyColor(in))
                             : p.setVGradientBrush(AnyColor(in), AnyColor(in));
            break;
        case 3:
            p.setBackground(QBrush(AnyColor(in), in.PickValueInArray(s_BrushStyles)));
            p.setBackgroundMode(in.ConsumeBool() ? Qt::OpaqueMode : Qt::TransparentMode);
            break;
        case 4: {
            QFont font(in.PickValueInArray(s_Families));
            font.setPixelSize(in.ConsumeIntegralInRange(4, 28)), font.setBold(in.ConsumeBool());
            font.setItalic(in.ConsumeBool()), p.setFont(font);
            break;
        }
        case 5: p.save(); pushes.push_back(target); added = 1; break;
        case 6: // a restore pops only into the metafile its save pushed into
            p.restore(), added = !pushes.empty() && pushes.back() == recording;
            if (!pushes.empty()) pushes.pop_back();
            break;
        case 7: p.translate(AnyDouble(in), AnyDouble(in)); added = 1; break;
        case 8: p.scale(AnyDouble(in), AnyDouble(in)); added = 1; break;
        case 9: p.rotate(AnyDouble(in)); added = 1; break;
        case 10: {
            const int x1 = in.ConsumeIntegral<int>(), y1 = in.ConsumeIntegral<int>();
            p.drawLine(x1, y1, in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>()), lineCall = true;
            break;
        }
        case 11: {
            const int x = in.ConsumeIntegral<int>(), y = in.ConsumeIntegral<int>(), w = in.ConsumeIntegral<int>();
            in.ConsumeBool() ? p.drawRect(x, y, w, in.ConsumeIntegral<int>()) : p.drawRect(AnyRect(in)), added = 1;
            break;
        }
        case 12: p.fillRect(AnyRect(in), QBrush(AnyColor(in))); added = 1; break;
        case 13: {
            QPolygon polygon;
            for (int i = in.ConsumeIntegralInRange(0, 12); i > 0; --i)
                polygon << QPoint(in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>());
            p.drawPolygon(polygon, in.ConsumeBool()), added = !polygon.isEmpty();
            break;
        }
        case 14: { // texts are measured on the widget's fonts: without one nothing is recorded
            const int x = in.ConsumeIntegral<int>(), y = in.ConsumeIntegral<int>();
            p.drawText(x, y, AnyText(in)), added = widget != nullptr;
            break;
        }
        case 15: { // one command per text line
            const QRect rect = AnyRect(in);
            const int flags = in.ConsumeIntegral<int>();
            const QString text = AnyText(in);
            QRect bounds;
            if (in.ConsumeBool())
                p.drawText(rect, flags, text, &bounds), added = widget ? size_t(text.count('\n') + 1) : 0;
            else
                bounds = p.boundingRect(rect, flags, text);
            break;
        }
        case 16: { // end() pops what the saves since begin() pushed into the metafile being recorded
            const int pick = in.ConsumeIntegralInRange(0, 3);
            if (pick == 3)
                p.end(), added = size_t(std::count(pushes.begin(), pushes.end(), recording)), pushes.clear();
            target = pick < 2 ? &files[pick] : nullptr;
            if (pick < 3) p.begin(target);
            break;
        }
        case 17: {
            GLMetaFile& source = files[in.ConsumeBool()];
            // Replays into itself double a metafile; keep the input's run time bounded.
            if (source.Commands().size() + (target ? target->Commands().size() : 0) > 4000) break;
            const Commands commands = source.Commands();
            p.drawMetaFile(source), replay = true;
            if (target) CheckReplay(commands, *target, before);
            Check(target == &source ? SameCommands(source.Commands(), 0, commands)
                                    : source.Commands().size() == commands.size());
            break;
        }
        case 18: { // copies and moves of the metafile not being recorded, so the painter's target stays put
            GLMetaFile& other = files[target == &files[0]];
            auto copy = std::make_unique<GLMetaFile>(other);
            Check(copy->Commands().size() == other.Commands().size() && copy->Texts().size() == other.Texts().size());
            GLMetaFile moved(std::move(other));
            Check(other.Commands().empty() && other.Lines().empty() && other.Polygons().empty() &&
                  other.Texts().empty());
            other = *copy, copy.reset();
            Check(other.Commands().size() == moved.Commands().size());
            break;
        }
        case 19: {
            const QPoint at(in.ConsumeIntegral<short>(), in.ConsumeIntegral<short>());
            p.drawImage(at, QImage(3, 2, QImage::Format_ARGB32));
            break;
        }
        }
        // A line continuing a batch and an image append nothing.
        const size_t appended = recording ? recording->Commands().size() - before : 0;
        Check(lineCall ? appended <= (inBatch ? 0u : 1u) : !recording || replay || appended == added);
        inBatch = lineCall && recording;
        CheckStructure(files[0]), CheckStructure(files[1]);
    }
    return files;
}

FuzzSurface* s_pSurface = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    StartOffscreenApplication();
    s_pSurface = new FuzzSurface(48, 32);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    // One input in 128 paints, chosen by the input so that every finding reproduces on its own.
    const int mode = in.ConsumeIntegralInRange(0, 127);
    if (mode != 0) {
        Run(in, mode % 2 ? s_pSurface : nullptr);
        return 0;
    }
    // A replay, whatever it holds, leaves the transform to the fill after it.
    s_pSurface->paint = [&] {
        MetaFiles files = Run(in, s_pSurface);
        GLPainter p(s_pSurface);
        p.drawMetaFile(files[0]), p.drawMetaFile(files[1]);
        p.fillRect(QRect(0, 0, 2, 2), QBrush(Qt::white));
    };
    QImage image;
    Check(!s_pSurface->RenderToImage(&image) || image.pixel(0, 0) == 0xFFFFFFFF);
    return 0;
}
