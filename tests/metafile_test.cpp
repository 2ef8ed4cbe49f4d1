#include "glpainter.h"
#include "support/render_fixture.h"

#include <gtest/gtest.h>

#include <climits>

namespace {
using Draw = std::function<void(GLPainter&)>;
using M = GLMetaFile;

// Draws inside a real frame, directly or, given a metafile, recording into it.
QImage Paint(const Draw& draw, GLMetaFile* target = nullptr)
{
    return render(80, 64, [&](TestSurface& w) { GLPainter p(&w); p.begin(target), draw(p); });
}

std::vector<int> Kinds(const GLMetaFile& m)
{
    std::vector<int> kinds;
    for (const GLMetaFile::GLMetaCommand& c : m.Commands())
        kinds.push_back(c.iKind);
    return kinds;
}
} // namespace

// A restore pops where its save pushed, pushes beyond the GL matrix stack are not popped, and a
// replay closes what its metafile left open: the caller's transform survives all of them.
TEST(MetaFile, TransformsStayBalancedAcrossTargetSwitchesAndReplays)
{
    // A save made while drawing directly is popped on the GL stack even when recording has begun
    // since; nothing is recorded for it, but it ends the line batch. begin(nullptr) draws directly again.
    GLMetaFile metafile;
    const QImage switched = Paint([&](GLPainter& p) {
        p.setPen(QPen(Qt::red)), p.save(), p.translate(10, 10);
        p.begin(&metafile), p.setPen(QPen(Qt::blue)), p.drawLine(0, 0, 5, 0), p.restore(), p.drawLine(0, 5, 5, 5);
        p.begin(nullptr), p.fillRect(QRect(0, 0, 2, 2), QBrush(Qt::white));
    });
    ASSERT_EQ(Kinds(metafile), (std::vector<int>{M::eLines, M::eLines}));
    EXPECT_EQ(metafile.Lines()[1].LineStyle().FgColor(), QColor(Qt::red));
    expectColour(switched, 0, 0, 0xFFFFFFFF), expectColour(switched, 10, 10, 0);

    // A painter without a widget records, but has no fonts to measure text by. A push into an
    // earlier target is left open there rather than popped into the new one; end() pops
    // outstanding saves into the recording, which grows no more.
    GLMetaFile open, other, ended;
    GLPainter orphan(nullptr);
    orphan.begin(&open); orphan.save(); orphan.translate(10, 10); orphan.drawText(0, 0, "ignored");
    orphan.begin(&other); orphan.restore();
    orphan.begin(&ended); orphan.save(); orphan.save(); orphan.end(); orphan.drawLine(0, 5, 5, 5);
    const int push = M::ePushTransform, pop = M::ePopTransform;
    EXPECT_EQ(Kinds(open), (std::vector<int>{push, M::eTranslate}));
    EXPECT_TRUE(other.Commands().empty());
    EXPECT_EQ(Kinds(ended), (std::vector<int>{push, push, pop, pop}));

    // Empty replays, replays of transforms, and replays of open pushes far more often than the GL
    // matrix stack is deep leave the caller's transform alone.
    GLMetaFile empty, shifted;
    Paint([](GLPainter& p) { p.translate(10, 10); }, &shifted);
    const QImage img = Paint([&](GLPainter& p) {
        p.translate(5, 5), p.drawMetaFile(empty), p.fillRect(QRect(0, 0, 2, 2), QBrush(Qt::white));
        p.translate(-5, -5), p.drawMetaFile(shifted);
        for (int i = 0; i < 40; ++i)
            p.drawMetaFile(open);
        p.fillRect(QRect(30, 30, 2, 2), QBrush(Qt::white));
    });
    for (const auto& [x, y, colour] : {std::tuple(5, 5, 0xFFFFFFFFu), {30, 30, 0xFFFFFFFFu}, {0, 0, 0u}, {40, 40, 0u}})
        expectColour(img, x, y, colour);
    // Copied into another metafile, the open run is closed as well.
    GLMetaFile copy;
    orphan.begin(&copy), orphan.drawMetaFile(open);
    EXPECT_EQ(Kinds(copy), (std::vector<int>{push, push, M::eTranslate, pop, pop}));
}

TEST(MetaFile, RectanglesAndTextsBeyondTheIntRangeClampInsteadOfWrapping)
{
    const int big = 2000000000;
    GLMetaFile metafile;
    QRect bounds, measured;
    Paint([&](GLPainter& p) {
        p.drawRect(QRect(QPoint(-big, 0), QPoint(big, 9)));
        p.fillRect(QRect(QPoint(0, -big), QPoint(9, big)), QBrush(Qt::red));
        p.drawText(0, INT_MIN + 1, "a");
        p.drawText(QRect(QPoint(INT_MAX - 5, 0), QPoint(INT_MAX, 10)), Qt::AlignLeft, "wide", &bounds);
        measured = p.boundingRect(QRect(QPoint(-big, -big), QPoint(big, big)), Qt::AlignRight | Qt::AlignBottom, "x");
    }, &metafile);
    ASSERT_TRUE(metafile.Polygons().size() == 2u && metafile.Texts().size() == 2u);
    EXPECT_EQ(std::make_pair(metafile.Polygons()[0].Width(), metafile.Polygons()[1].Height()),
              std::make_pair(float(INT_MAX), float(INT_MAX)));
    EXPECT_LT(metafile.Texts()[0].Y(), 0.0f);
    EXPECT_EQ(std::make_pair(bounds.left(), bounds.right()), std::make_pair(INT_MAX - 5, INT_MAX));
    EXPECT_TRUE(measured.bottomRight() == QPoint(big, big) && measured.left() > 0) << measured.left();
}
