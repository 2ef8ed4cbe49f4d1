// A window of drawing primitives. With a display it opens the window; without one, or with
// --png DIR, it renders headless and writes the frames as PNG files.
#include "glframewidget.h"
#include "glpainter.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QPainter>
#include <cmath>
#include <cstdio>

using GL = GLFrameWidget;

class DemoSurface : public GLFrameWidget
{
public:
    DemoSurface() { m_Bitmap = MakeBitmap(); }
    int iFrame = 0;

protected:
    void PaintGL() override
    {
        DrawBackground();
        DrawLineBatch();
        DrawDottedPolyline();
        DrawPolygons();
        DrawImage(GetWidth() - 150, 20, 128, 128, m_Bitmap);
        DrawTexts();
        ++iFrame;
    }
    void ResizeGL() override {}

private:
    void DrawBackground()
    {
        GLPolygon back;
        back.SetFillStyle(GLFillStyle(eFillHGradient, QColor(16, 24, 40), QColor(4, 6, 12)));
        back.SetRect(0, 0, GetWidth(), GetHeight());
        DrawPolygon(back, false);
    }

    // A fan of one-pixel segments that turns with the frame number.
    void DrawLineBatch()
    {
        GLLines lines;
        lines.SetLineStyle(GLLineStyle(eLineSolid, 1, QColor(90, 200, 255)));
        const float cx = 120, cy = 120;
        for (int i = 0; i < 48; ++i) {
            const double a = (i + iFrame * 0.25) * M_PI / 24;
            lines.AddLine(cx, cy, float(cx + 100 * std::cos(a)), float(cy + 100 * std::sin(a)));
        }
        DrawLines(lines);
    }

    void DrawDottedPolyline()
    {
        GLPolygon trace;
        trace.SetLineStyle(GLLineStyle(eLineDotted, 2, QColor(255, 220, 80)));
        for (int x = 0; x <= GetWidth() - 20; x += 8)
            trace.AddVertex(10 + x, 300 + 40 * float(std::sin((x + iFrame * 4) * 0.03)));
        DrawPolygon(trace, false);
    }

    void DrawPolygons()
    {
        GLPolygon convex;
        convex.SetFillStyle(GLFillStyle(eFillSolid, QColor(60, 180, 90), QColor()));
        convex.SetLineStyle(GLLineStyle(eLineSolid, 1, Qt::white));
        for (int i = 0; i < 6; ++i)
            convex.AddVertex(300 + 60 * float(std::cos(i * M_PI / 3)), 120 + 60 * float(std::sin(i * M_PI / 3)));
        DrawPolygon(convex, true);

        GLPolygon ell;
        ell.SetFillStyle(GLFillStyle(eFillSolidConcave, QColor(230, 80, 60, 200), QColor()));
        ell.SetLineStyle(GLLineStyle(eLineSolid, 1, Qt::white));
        for (auto [x, y] : {std::pair{400, 60}, {440, 60}, {440, 140}, {500, 140}, {500, 180}, {400, 180}})
            ell.AddVertex(x, y);
        DrawPolygon(ell, true);

        GLPolygon hGradient, vGradient;
        hGradient.SetFillStyle(GLFillStyle(eFillHGradient, QColor(255, 0, 128), QColor(0, 64, 255, 96)));
        hGradient.SetRect(40, 380, 220, 90);
        vGradient.SetFillStyle(GLFillStyle(eFillVGradient, QColor(255, 255, 0), QColor(0, 160, 80)));
        vGradient.SetRect(300, 380, 220, 90);
        DrawPolygon(hGradient, false);
        DrawPolygon(vGradient, false);
    }

    // Labels through the glyph atlas (Latin-1 up to 255), Greek through the pooled textures,
    // rotated text through the painter, and a legend recorded once and replayed every frame.
    void DrawTexts()
    {
        GLPainter painter(this);
        QFont font("DejaVu Sans");
        font.setPixelSize(14);
        painter.setFont(font);
        painter.setPen(QPen(Qt::white));
        painter.drawText(40, 230, QString::fromLatin1("Latin-1: \xc5ngstr\xf6m \xb5s, 25 \xb0" "C, \xa9 \xbd \xbe \xff"));
        painter.setPen(QPen(QColor(120, 255, 160)));
        painter.drawText(40, 254, QString::fromUtf8("Greek: \xce\x94\xcf\x86 = \xcf\x80 \xc2\xb7 \xce\xbb / \xce\xa3"));
        painter.save();
        painter.translate(GetWidth() - 24, 360);
        painter.rotate(-90);
        painter.setPen(QPen(QColor(255, 200, 120)));
        painter.drawText(0, 0, QString::fromLatin1("rotated 90\xb0"));
        painter.restore();
        if (m_Legend.Commands().empty())
            RecordLegend(painter);
        painter.translate(GetWidth() - 190, 196);
        painter.drawMetaFile(m_Legend);
    }

    void RecordLegend(GLPainter& painter)
    {
        painter.begin(&m_Legend);
        painter.setPen(QPen(QColor(200, 200, 200)));
        painter.setBrush(QBrush(QColor(20, 30, 50)));
        painter.drawRect(0, 0, 170, 64);
        const std::pair<QColor, const char*> entries[] = {{QColor(90, 200, 255), "line fan"},
                                                          {QColor(255, 220, 80), "dotted trace"},
                                                          {QColor(60, 180, 90), "polygons"}};
        int y = 18;
        for (const auto& [colour, name] : entries) {
            painter.fillRect(QRect(8, y - 8, 16, 8), QBrush(colour));
            painter.setPen(QPen(Qt::white));
            painter.drawText(32, y, name);
            y += 18;
        }
        painter.end();
    }

    static QImage MakeBitmap()
    {
        QImage image(64, 64, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(255, 140, 0));
        painter.setPen(QPen(Qt::white, 3));
        painter.drawEllipse(6, 6, 52, 52);
        painter.setPen(QPen(Qt::black, 4));
        painter.drawLine(20, 44, 44, 20);
        return image;
    }

    QImage m_Bitmap;
    GLMetaFile m_Legend;
};

int main(int argc, char** argv)
{
    const bool headlessPlatform = qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (headlessPlatform && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"png", "Render headless and write the frames as PNG files into <dir>.", "dir"});
    parser.addOption({"frames", "Number of frames to write with --png.", "n", "3"});
    parser.addOption({"software", "Render through the off-screen ScanBuffer even where a GPU exists."});
    parser.process(app);
    if (parser.isSet("software"))
        GLFrameWidget::setRenderPath(GLPlatform::ePathScanBuffer);

    DemoSurface surface;
    surface.setWindowTitle("GLBase demo");
    surface.resize(640, 500);
    if (!parser.isSet("png") && !headlessPlatform) {
        surface.show();
        QTimer animation;
        QObject::connect(&animation, &QTimer::timeout, &surface, [&] { surface.Update(); });
        animation.start(16);
        return app.exec();
    }
    const QString dir = parser.isSet("png") ? parser.value("png") : QStringLiteral("out");
    QDir().mkpath(dir);
    const int frames = std::max(1, parser.value("frames").toInt());
    for (int i = 0; i < frames; ++i) {
        QImage image;
        if (!surface.RenderToImage(&image)) {
            std::fprintf(stderr, "rendering failed: %s\n", qPrintable(surface.info()));
            return 1;
        }
        const QString file = QString("%1/frame-%2.png").arg(dir).arg(i, 4, 10, QChar('0'));
        if (!image.save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }
    std::printf("%s", qPrintable(surface.info()));
    return 0;
}
