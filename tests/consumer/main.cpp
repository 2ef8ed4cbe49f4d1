// Renders one frame through the installed headers and checks a pixel of it.
#include <glframewidget.h>

#include <QApplication>
#include <cstdio>

class Square : public GLFrameWidget
{
protected:
    void PaintGL() override
    {
        GLPolygon square;
        square.SetFillStyle(GLFillStyle(eFillSolid, Qt::red, QColor()));
        square.SetRect(2, 2, 4, 4);
        DrawPolygon(square, true);
    }
    void ResizeGL() override {}
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    GLFrameWidget::setRenderPath(GLFrameWidget::ePathScanBuffer);
    Square widget;
    widget.resize(8, 8);
    QImage frame;
    const bool ok = widget.RenderToImage(&frame) && frame.pixel(3, 3) == qRgb(255, 0, 0) && frame.pixel(7, 7) == 0;
    std::printf("consumer built against Qt %s: %s\n", qVersion(), ok ? "frame drawn" : "frame wrong");
    return ok ? 0 : 1;
}
