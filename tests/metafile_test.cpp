#include "glpainter.h"
#include "support/render_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// A legend-like scene using every kind of command.
void DrawScene(GLPainter& p)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(11);
    p.setFont(font);
    p.setPen(QPen(Qt::yellow));
    p.drawLine(2, 2, 60, 2);
    p.drawLine(2, 4, 60, 4);
    p.setBrush(QBrush(Qt::darkCyan));
    p.drawRect(4, 8, 20, 12);
    p.save();
    p.translate(30, 10);
    p.scale(1.5, 1.0);
    p.drawPolygon(QPolygon({QPoint(0, 0), QPoint(10, 0), QPoint(5, 10)}));
    p.restore();
    p.save();
    p.translate(70, 40);
    p.rotate(90);
    p.fillRect(QRect(0, 0, 15, 3), QBrush(Qt::magenta));
    p.restore();
    p.setPen(QPen(Qt::white));
    p.drawText(5, 45, "Legend \xe9");
    p.drawText(QRect(0, 50, 80, 14), Qt::AlignRight, QString::fromUtf8("\xce\xb1\xce\xb2"));
}

// Draws into a real frame, directly or (into target) recording.
QImage Paint(const std::function<void(GLPainter&)>& draw, GLMetaFile* target = nullptr, int size = 80)
{
    return render(size, size * 4 / 5, [&](TestSurface& w) {
        GLPainter p(&w);
        p.begin(target);
        draw(p);
    });
}

GLMetaFile Record(const std::function<void(GLPainter&)>& draw)
{
    GLMetaFile metafile;
    Paint(draw, &metafile);
    return metafile;
}

QImage Replay(GLMetaFile& metafile, GLMetaFile* target = nullptr, int size = 80)
{
    return Paint([&](GLPainter& p) { p.drawMetaFile(metafile); }, target, size);
}

std::vector<int> Kinds(const GLMetaFile& m)
{
    std::vector<int> kinds;
    for (const GLMetaFile::GLMetaCommand& c : m.Commands())
        kinds.push_back(c.iKind);
    return kinds;
}

const QImage& Blank()
{
    static const QImage blank = Paint([](GLPainter&) {});
    return blank;
}

} // namespace

TEST(MetaFile, ReplaysAndDeepCopiesDrawWhatTheDirectDrawingDrew)
{
    const QImage direct = Paint(DrawScene);
    ASSERT_NE(direct, Blank()); // the scene is not empty, so the comparisons mean something
    auto metafile = std::make_unique<GLMetaFile>(Record(DrawScene));
    const std::vector<int> kinds = Kinds(*metafile);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), int(GLMetaFile::eLines)), 1); // the two lines share one batch
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), int(GLMetaFile::eRotate)), 1);
    EXPECT_EQ(metafile->Polygons().size(), 3u);
    EXPECT_EQ(metafile->Texts().size(), 2u);
    EXPECT_EQ(Replay(*metafile), direct);
    // Replaying leaves the metafile unchanged and can be repeated.
    EXPECT_EQ(Replay(*metafile), direct);

    // Copies outlive their source; a move empties it.
    GLMetaFile constructed(*metafile);
    GLMetaFile assigned;
    assigned = *metafile;
    metafile.reset();
    EXPECT_EQ(Replay(constructed), direct);
    EXPECT_EQ(Replay(assigned), direct);
    GLMetaFile moved(std::move(assigned));
    EXPECT_TRUE(assigned.Commands().empty());
    EXPECT_TRUE(assigned.Lines().empty());
    EXPECT_TRUE(assigned.Polygons().empty());
    EXPECT_TRUE(assigned.Texts().empty());
    EXPECT_EQ(Replay(assigned), Blank());
    EXPECT_EQ(Replay(moved), direct);
    constructed = std::move(moved);
    GLMetaFile& self = constructed;
    constructed = std::move(self);
    EXPECT_EQ(Replay(constructed), direct);
}

TEST(MetaFile, ReplayIntoAMetaFileCopiesAndRenumbersRecords)
{
    GLMetaFile legend = Record([](GLPainter& p) {
        p.setPen(QPen(Qt::red));
        p.drawLine(0, 0, 10, 0);
        p.rotate(90);
        p.drawRect(1, 1, 4, 4);
        p.drawText(0, 20, "a");
    });
    GLMetaFile target = Record([](GLPainter& p) {
        p.setPen(QPen(Qt::blue));
        for (int i = 0; i < 3; ++i)
            p.drawRect(i, i, 2, 2);
    });
    Paint([&](GLPainter& p) {
        p.setPen(QPen(Qt::blue));
        p.drawMetaFile(legend);
        p.drawLine(0, 30, 10, 30); // after the replay's restore: a new batch
    }, &target, 40);
    // 3 rectangles, push, the legend's 4 commands, pop, one new line batch.
    using M = GLMetaFile;
    EXPECT_EQ(Kinds(target), (std::vector<int>{M::ePolygon, M::ePolygon, M::ePolygon, M::ePushTransform, M::eLines,
                                               M::eRotate, M::ePolygon, M::eText, M::ePopTransform, M::eLines}));
    const std::vector<GLMetaFile::GLMetaCommand>& c = target.Commands();
    ASSERT_EQ(c.size(), 10u);
    EXPECT_EQ(c[4].uIndex, 0u);
    EXPECT_EQ(c[5].dA, 90.0);
    EXPECT_EQ(c[6].uIndex, 3u);
    EXPECT_EQ(c[7].uIndex, 0u);
    EXPECT_EQ(c[9].uIndex, 1u);
    EXPECT_EQ(target.Lines()[0].LineStyle().FgColor(), QColor(Qt::red));
    EXPECT_EQ(target.Lines()[1].LineStyle().FgColor(), QColor(Qt::blue));

    // Replayed into itself, it copies the commands it started with once, inside a push and a pop.
    Replay(legend, &legend, 40);
    ASSERT_EQ(legend.Commands().size(), 10u);
    EXPECT_EQ(legend.Lines().size(), 2u);
    EXPECT_EQ(legend.Polygons().size(), 2u);
    EXPECT_EQ(legend.Texts().size(), 2u);
    EXPECT_EQ(legend.Commands().back().iKind, GLMetaFile::ePopTransform);
    // The copied records point at the new ones, which replay.
    expectColour(Replay(legend), 5, 0, 0xFFFF0000);
}

TEST(MetaFile, ReplaysLeaveTheTransformAsTheyFoundIt)
{
    // An empty replay draws nothing and keeps the caller's transform; transforms recorded in a
    // metafile do not outlive its replay.
    GLMetaFile empty;
    GLMetaFile shifted = Record([](GLPainter& p) { p.translate(10, 10); });
    const QImage img = Paint([&](GLPainter& p) {
        p.translate(5, 5);
        p.drawMetaFile(empty);
        p.fillRect(QRect(0, 0, 2, 2), QBrush(Qt::white));
        p.translate(-5, -5);
        p.drawMetaFile(shifted);
        p.fillRect(QRect(30, 30, 2, 2), QBrush(Qt::white));
    });
    expectColour(img, 5, 5, 0xFFFFFFFF);
    expectColour(img, 0, 0, 0);
    expectColour(img, 30, 30, 0xFFFFFFFF);
    expectColour(img, 40, 40, 0);

    // Recording switched targets after the save: the push stays open in the first metafile.
    GLMetaFile open;
    GLMetaFile other;
    Paint([&](GLPainter& p) {
        p.begin(&open);
        p.save();
        p.translate(10, 10);
        p.begin(&other);
    });
    ASSERT_EQ(open.Commands().size(), 2u);

    // Replayed far more often than the GL matrix stack is deep, it still leaves the transform alone.
    const QImage often = Paint([&](GLPainter& p) {
        for (int i = 0; i < 40; ++i)
            p.drawMetaFile(open);
        p.save();
        p.translate(5, 5);
        p.restore();
        p.fillRect(QRect(0, 0, 2, 2), QBrush(Qt::white));
    });
    expectColour(often, 0, 0, 0xFFFFFFFF);
    expectColour(often, 5, 5, 0);
    expectColour(often, 10, 10, 0);

    // Copied into another metafile, the run is closed as well: push, push, translate, pop, pop.
    GLMetaFile copy;
    GLPainter orphan(nullptr);
    orphan.begin(&copy);
    orphan.drawMetaFile(open);
    orphan.end();
    using M = GLMetaFile;
    EXPECT_EQ(Kinds(copy), (std::vector<int>{M::ePushTransform, M::ePushTransform, M::eTranslate, M::ePopTransform,
                                             M::ePopTransform}));
}
