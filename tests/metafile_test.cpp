#include "glpainter.h"
#include "support/render_fixture.h"

#include <gtest/gtest.h>

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

GLMetaFile Record(const std::function<void(GLPainter&)>& draw)
{
    GLMetaFile metafile;
    render(80, 64, [&](TestSurface& w) {
        GLPainter p(&w);
        p.begin(&metafile);
        draw(p);
    });
    return metafile;
}

QImage Replay(GLMetaFile& metafile)
{
    return render(80, 64, [&](TestSurface& w) {
        GLPainter p(&w);
        p.drawMetaFile(metafile);
    });
}

int Count(const GLMetaFile& m, GLMetaFile::eCommand kind)
{
    int n = 0;
    for (const GLMetaFile::GLMetaCommand& c : m.Commands())
        n += c.iKind == kind;
    return n;
}

} // namespace

TEST(MetaFile, ReplayDrawsWhatTheDirectDrawingDrew)
{
    const QImage direct = render(80, 64, [](TestSurface& w) {
        GLPainter p(&w);
        DrawScene(p);
    });
    GLMetaFile metafile = Record(DrawScene);
    EXPECT_EQ(Count(metafile, GLMetaFile::eLines), 1); // the two lines share one batch
    EXPECT_EQ(metafile.Polygons().size(), 3u);
    EXPECT_EQ(metafile.Texts().size(), 2u);
    EXPECT_EQ(Count(metafile, GLMetaFile::eRotate), 1);
    const QImage replayed = Replay(metafile);
    EXPECT_EQ(replayed, direct);
    // The scene is not empty, so the comparison means something.
    EXPECT_NE(direct, render(80, 64, [](TestSurface&) {}));
    // Replaying leaves the metafile unchanged and can be repeated.
    EXPECT_EQ(Replay(metafile), direct);
}

TEST(MetaFile, CopiesAreDeepAndMovesEmptyTheSource)
{
    const QImage expected = Replay(*std::make_unique<GLMetaFile>(Record(DrawScene)));
    GLMetaFile copy;
    {
        GLMetaFile source = Record(DrawScene);
        copy = source;
        GLMetaFile constructed(source);
        EXPECT_EQ(constructed.Commands().size(), source.Commands().size());
    }
    EXPECT_EQ(Replay(copy), expected);

    GLMetaFile moved(std::move(copy));
    EXPECT_TRUE(copy.Commands().empty());
    EXPECT_TRUE(copy.Lines().empty());
    EXPECT_TRUE(copy.Polygons().empty());
    EXPECT_TRUE(copy.Texts().empty());
    EXPECT_EQ(Replay(moved), expected);
    EXPECT_EQ(Replay(copy), render(80, 64, [](TestSurface&) {}));

    GLMetaFile assigned;
    assigned = std::move(moved);
    GLMetaFile& self = assigned;
    assigned = std::move(self);
    EXPECT_EQ(Replay(assigned), expected);
}

TEST(MetaFile, ReplayIntoAnotherMetaFileRenumbersRecords)
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
    render(40, 40, [&](TestSurface& w) {
        GLPainter p(&w);
        p.setPen(QPen(Qt::blue));
        p.begin(&target);
        p.drawMetaFile(legend);
        p.drawLine(0, 30, 10, 30); // after the replay's restore: a new batch
    });
    const std::vector<GLMetaFile::GLMetaCommand>& c = target.Commands();
    // 3 rectangles, push, the legend's 4 commands, pop, one new line batch.
    ASSERT_EQ(c.size(), 10u);
    EXPECT_EQ(c[3].iKind, GLMetaFile::ePushTransform);
    EXPECT_EQ(c[4].iKind, GLMetaFile::eLines);
    EXPECT_EQ(c[4].uIndex, 0u);
    EXPECT_EQ(c[5].iKind, GLMetaFile::eRotate);
    EXPECT_EQ(c[5].dA, 90.0);
    EXPECT_EQ(c[6].iKind, GLMetaFile::ePolygon);
    EXPECT_EQ(c[6].uIndex, 3u);
    EXPECT_EQ(c[7].iKind, GLMetaFile::eText);
    EXPECT_EQ(c[7].uIndex, 0u);
    EXPECT_EQ(c[8].iKind, GLMetaFile::ePopTransform);
    EXPECT_EQ(c[9].iKind, GLMetaFile::eLines);
    EXPECT_EQ(c[9].uIndex, 1u);
    EXPECT_EQ(target.Lines()[0].LineStyle().FgColor(), QColor(Qt::red));
    EXPECT_EQ(target.Lines()[1].LineStyle().FgColor(), QColor(Qt::blue));
}

TEST(MetaFile, ReplayIntoItselfCopiesTheStartingCommandsOnce)
{
    GLMetaFile metafile = Record([](GLPainter& p) {
        p.setPen(QPen(Qt::red));
        p.drawLine(0, 0, 10, 0);
        p.drawRect(1, 1, 4, 4);
        p.drawText(0, 20, "a");
    });
    const size_t before = metafile.Commands().size();
    ASSERT_EQ(before, 3u);
    render(40, 40, [&](TestSurface& w) {
        GLPainter p(&w);
        p.begin(&metafile);
        p.drawMetaFile(metafile);
    });
    ASSERT_EQ(metafile.Commands().size(), 2 * before + 2);
    EXPECT_EQ(metafile.Lines().size(), 2u);
    EXPECT_EQ(metafile.Polygons().size(), 2u);
    EXPECT_EQ(metafile.Texts().size(), 2u);
    EXPECT_EQ(metafile.Commands().back().iKind, GLMetaFile::ePopTransform);
    // The copied records point at the new ones, which replay.
    const QImage img = Replay(metafile);
    expectColour(img, 5, 0, 0xFFFF0000);
}

TEST(MetaFile, EmptyReplayDrawsNothingAndBalancesTheTransform)
{
    GLMetaFile empty;
    const QImage img = render(20, 20, [&](TestSurface& w) {
        GLPainter p(&w);
        p.translate(5, 5);
        p.drawMetaFile(empty);
        p.fillRect(QRect(0, 0, 2, 2), QBrush(Qt::white));
    });
    expectColour(img, 5, 5, 0xFFFFFFFF);
    expectColour(img, 0, 0, 0);

    // Transforms recorded in a metafile do not outlive its replay.
    GLMetaFile shifted = Record([](GLPainter& p) { p.translate(10, 10); });
    const QImage after = render(20, 20, [&](TestSurface& w) {
        GLPainter p(&w);
        p.drawMetaFile(shifted);
        p.fillRect(QRect(0, 0, 2, 2), QBrush(Qt::white));
    });
    expectColour(after, 0, 0, 0xFFFFFFFF);
    expectColour(after, 10, 10, 0);
}

TEST(MetaFile, PushesLeftOpenAreClosedByTheReplay)
{
    // Recording switched targets after the save: the push stays open in the first metafile.
    GLMetaFile open;
    GLMetaFile other;
    render(20, 20, [&](TestSurface& w) {
        GLPainter p(&w);
        p.begin(&open);
        p.save();
        p.translate(10, 10);
        p.begin(&other);
    });
    ASSERT_EQ(open.Commands().size(), 2u);

    // Replayed far more often than the GL matrix stack is deep, it still leaves the transform alone.
    const QImage img = render(20, 20, [&](TestSurface& w) {
        GLPainter p(&w);
        for (int i = 0; i < 40; ++i)
            p.drawMetaFile(open);
        p.save();
        p.translate(5, 5);
        p.restore();
        p.fillRect(QRect(0, 0, 2, 2), QBrush(Qt::white));
    });
    expectColour(img, 0, 0, 0xFFFFFFFF);
    expectColour(img, 5, 5, 0);
    expectColour(img, 10, 10, 0);

    // Copied into another metafile, the run is closed as well: push, push, translate, pop, pop.
    GLMetaFile copy;
    GLPainter orphan(nullptr);
    orphan.begin(&copy);
    orphan.drawMetaFile(open);
    orphan.end();
    const std::vector<GLMetaFile::GLMetaCommand>& c = copy.Commands();
    ASSERT_EQ(c.size(), 5u);
    EXPECT_EQ(c[0].iKind, GLMetaFile::ePushTransform);
    EXPECT_EQ(c[1].iKind, GLMetaFile::ePushTransform);
    EXPECT_EQ(c[2].iKind, GLMetaFile::eTranslate);
    EXPECT_EQ(c[3].iKind, GLMetaFile::ePopTransform);
    EXPECT_EQ(c[4].iKind, GLMetaFile::ePopTransform);
}
