#include "support/render_fixture.h"

#include <gtest/gtest.h>

QImage render(int w, int h, const std::function<void(TestSurface&)>& paint)
{
    TestSurface surface;
    surface.resize(w, h);
    surface.paint = paint;
    QImage image;
    EXPECT_TRUE(surface.RenderToImage(&image)) << surface.info().toStdString();
    return image;
}

void PaintBoxAndLine(TestSurface& w)
{
    GLFrameWidget::GLPolygon box;
    box.SetFillStyle(GLFrameWidget::GLFillStyle(GLFrameWidget::eFillSolid, QColor(255, 0, 0), QColor()));
    box.SetRect(10, 10, 30, 20);
    w.DrawPolygon(box, false);
    GLFrameWidget::GLLines line;
    line.SetLineStyle(GLFrameWidget::GLLineStyle(GLFrameWidget::eLineSolid, 1, QColor(0, 255, 0)));
    line.AddLine(5, 50, 60, 50);
    w.DrawLines(line);
}

bool RecordingErrorHandler::Logged(const QString& message) const
{
    for (const Entry& entry : vLogged)
        if (entry.sMessage == message)
            return true;
    return false;
}

std::vector<int> litColumns(const QImage& img, int row)
{
    std::vector<int> columns;
    for (int x = 0; x < img.width(); ++x)
        if (img.pixel(x, row) != 0)
            columns.push_back(x);
    return columns;
}

void expectLitRun(const QImage& img, int row, int from, int to)
{
    std::vector<int> expected;
    for (int x = from; x <= to; ++x)
        expected.push_back(x);
    EXPECT_EQ(litColumns(img, row), expected) << "row " << row;
}

void expectColour(const QImage& img, int x, int y, QRgb colour)
{
    EXPECT_EQ(img.pixel(x, y), colour) << "pixel (" << x << ", " << y << ") is " << std::hex << img.pixel(x, y);
}
