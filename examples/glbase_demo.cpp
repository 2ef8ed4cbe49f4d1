// A window of panels in the standard layout, one of them the gallery of drawing primitives. With a
// display it opens the window; without one, or with --png DIR, it renders headless and writes the
// frames as PNG files.
#include "gllayout.h"
#include "glpainter.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QPainter>
#include <QResizeEvent>
#include <cmath>
#include <cstdio>

using GL = GLFrameWidget;

// The gallery of drawing primitives, drawn in its own panel coordinates.
class PrimitivesPanel : public GLBaseWidget
{
public:
    PrimitivesPanel() : GLBaseWidget("Primitives")
    {
        m_Bitmap = MakeBitmap();
        SetBackgroundStyle(GL::GLFillStyle(GL::eFillHGradient, QColor(16, 24, 40), QColor(4, 6, 12)));
    }
    int iFrame = 0;

protected:
    void paintEvent(QPaintEvent*) override
    {
        GL& s = *GetFrameWidget();
        DrawBackground();
        DrawLineBatch(s);
        DrawDottedPolyline(s);
        DrawPolygons(s);
        s.DrawImage(width() - 150, 20, 128, 128, m_Bitmap);
        DrawTexts(s);
        ++iFrame;
    }

private:

    // A fan of one-pixel segments that turns with the frame number.
    void DrawLineBatch(GL& s)
    {
        GL::GLLines lines;
        lines.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 1, QColor(90, 200, 255)));
        const float cx = 120, cy = 120;
        for (int i = 0; i < 48; ++i) {
            const double a = (i + iFrame * 0.25) * M_PI / 24;
            lines.AddLine(cx, cy, float(cx + 100 * std::cos(a)), float(cy + 100 * std::sin(a)));
        }
        s.DrawLines(lines);
    }

    void DrawDottedPolyline(GL& s)
    {
        GL::GLPolygon trace;
        trace.SetLineStyle(GL::GLLineStyle(GL::eLineDotted, 2, QColor(255, 220, 80)));
        for (int x = 0; x <= width() - 20; x += 8)
            trace.AddVertex(10 + x, 300 + 40 * float(std::sin((x + iFrame * 4) * 0.03)));
        s.DrawPolygon(trace, false);
    }

    void DrawPolygons(GL& s)
    {
        GL::GLPolygon convex;
        convex.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, QColor(60, 180, 90), QColor()));
        convex.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 1, Qt::white));
        for (int i = 0; i < 6; ++i)
            convex.AddVertex(300 + 60 * float(std::cos(i * M_PI / 3)), 120 + 60 * float(std::sin(i * M_PI / 3)));
        s.DrawPolygon(convex, true);

        GL::GLPolygon ell;
        ell.SetFillStyle(GL::GLFillStyle(GL::eFillSolidConcave, QColor(230, 80, 60, 200), QColor()));
        ell.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 1, Qt::white));
        for (auto [x, y] : {std::pair{400, 60}, {440, 60}, {440, 140}, {500, 140}, {500, 180}, {400, 180}})
            ell.AddVertex(x, y);
        s.DrawPolygon(ell, true);

        GL::GLPolygon hGradient, vGradient;
        hGradient.SetFillStyle(GL::GLFillStyle(GL::eFillHGradient, QColor(255, 0, 128), QColor(0, 64, 255, 96)));
        hGradient.SetRect(40, 380, 220, 90);
        vGradient.SetFillStyle(GL::GLFillStyle(GL::eFillVGradient, QColor(255, 255, 0), QColor(0, 160, 80)));
        vGradient.SetRect(300, 380, 220, 90);
        s.DrawPolygon(hGradient, false);
        s.DrawPolygon(vGradient, false);
    }

    // Labels through the glyph atlas (Latin-1 up to 255), Greek through the pooled textures,
    // rotated text through the painter, and a legend recorded once and replayed every frame.
    void DrawTexts(GL& s)
    {
        GLPainter painter(&s);
        QFont font("DejaVu Sans");
        font.setPixelSize(14);
        painter.setFont(font);
        painter.setPen(QPen(Qt::white));
        painter.drawText(40, 230, QString::fromLatin1("Latin-1: \xc5ngstr\xf6m \xb5s, 25 \xb0" "C, \xa9 \xbd \xbe \xff"));
        painter.setPen(QPen(QColor(120, 255, 160)));
        painter.drawText(40, 254, QString::fromUtf8("Greek: \xce\x94\xcf\x86 = \xcf\x80 \xc2\xb7 \xce\xbb / \xce\xa3"));
        painter.save();
        painter.translate(width() - 24, 360);
        painter.rotate(-90);
        painter.setPen(QPen(QColor(255, 200, 120)));
        painter.drawText(0, 0, QString::fromLatin1("rotated 90\xb0"));
        painter.restore();
        if (m_Legend.Commands().empty())
            RecordLegend(painter);
        painter.translate(width() - 190, 196);
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

// A panel that fills its background and names what it shows.
class CaptionPanel : public GLBaseWidget
{
public:
    CaptionPanel(const char* name, const GL::GLFillStyle& background, const QString& caption)
        : GLBaseWidget(name), m_sCaption(caption)
    {
        SetBackgroundStyle(background);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        DrawBackground();
        GLPainter painter(GetFrameWidget());
        QFont font("DejaVu Sans");
        font.setPixelSize(13);
        painter.setFont(font);
        painter.setPen(QPen(Qt::white));
        painter.drawText(QRect(10, 6, width() - 20, height() - 12), Qt::AlignLeft | Qt::AlignTop, m_sCaption);
    }

private:
    QString m_sCaption;
};

// The standard layout: a top panel, two rows of left and right panels and a bottom panel,
// with borders between them. Splitters move with the left button, rows with the middle button.
struct DemoWindow
{
    GLLayout layout;
    CaptionPanel top{"Title", GL::GLFillStyle(GL::eFillHGradient, QColor(40, 70, 140), QColor(90, 30, 110)),
                     "GLBase demo: drag a border with the left button, move a row with the middle button"};
    PrimitivesPanel primitives;
    CaptionPanel solid{"Solid", GL::GLFillStyle(GL::eFillSolid, QColor(24, 88, 72), QColor()),
                       "Solid fill\nThe right column follows\nthe rows of the left one."};
    CaptionPanel vertical{"Vertical", GL::GLFillStyle(GL::eFillVGradient, QColor(170, 100, 30), QColor(50, 24, 8)),
                          "Vertical colour bands (eFillVGradient)"};
    CaptionPanel translucent{"Translucent", GL::GLFillStyle(GL::eFillSolid, QColor(200, 60, 90, 140), QColor()),
                             "Translucent solid fill over the cleared frame"};
    CaptionPanel bottom{"Status", GL::GLFillStyle(GL::eFillVGradient, QColor(60, 60, 60), QColor(20, 20, 20)),
                        "Bottom panel: vertical colour bands"};

    DemoWindow()
    {
        layout.SetBorderStyle(GL::GLFillStyle(GL::eFillSolid, QColor(110, 120, 130), QColor()));
        layout.SetShowBorders(true);
        layout.CreateStdLayout(0.5);
        for (CaptionPanel* fixed : {&top, &bottom}) {
            fixed->setMinimumHeight(36);
            fixed->setMaximumHeight(36);
        }
        layout.AddTopWidget(&top);
        layout.AddLeftRightWidget(&primitives, &solid, 1.0);
        layout.AddLeftRightWidget(&vertical, &translucent, 0.45);
        layout.AddBottomWidget(&bottom);
        top.setMouseTracking(true); // the splitters show while the mouse hovers over them
    }
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
    parser.addOption({"window", "Render through a GL context on the window even where no GPU exists."});
    parser.process(app);
    if (parser.isSet("software"))
        GLFrameWidget::setRenderPath(GLFrameWidget::ePathScanBuffer);
    else if (parser.isSet("window"))
        GLFrameWidget::setRenderPath(GLFrameWidget::ePathWindow);

    DemoWindow demo;
    GLLayout& surface = demo.layout;
    surface.setWindowTitle("GLBase demo");
    surface.resize(1000, 800);
    if (!parser.isSet("png") && !headlessPlatform) {
        surface.show();
        QTimer animation;
        QObject::connect(&animation, &QTimer::timeout, &surface, [&] { surface.Update(); });
        animation.start(16);
        return app.exec();
    }
    // A hidden widget gets no resize event of its own, and the layout is computed from that event.
    QResizeEvent resize(surface.size(), QSize());
    QApplication::sendEvent(&surface, &resize);
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
