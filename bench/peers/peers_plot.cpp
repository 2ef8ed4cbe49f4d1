// Draws the comparison table (table.csv from table.py) as a bar chart with GLBase itself:
// frames per second of every library for every scene and size, on a logarithmic axis.
// Usage: peers_plot TABLE.csv OUT.png
#include "glframewidget.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QTextStream>

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace
{
using GL = GLFrameWidget;

struct Row
{
    QString library, group;
    double fps = 0;
};

// Rows with a number in the fps column; the header and unmeasured cells are skipped.
std::vector<Row> ReadTable(const QString& path)
{
    std::vector<Row> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return rows;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList cells = in.readLine().split(',');
        bool ok = false;
        const double fps = cells.size() >= 4 ? cells[3].toDouble(&ok) : 0;
        if (ok && fps > 0)
            rows.push_back({cells[0], cells[1] + " " + cells[2], fps});
    }
    return rows;
}

class ChartSurface : public GLFrameWidget
{
public:
    std::function<void(ChartSurface&)> paint;

protected:
    void PaintGL() override
    {
        if (paint)
            paint(*this);
    }
    void ResizeGL() override {}
};

const std::vector<std::pair<QString, QColor>>& LibraryColours()
{
    static const std::vector<std::pair<QString, QColor>> colours = {
        {"glbase/scanbuffer", QColor(40, 200, 60)},  {"qcustomplot/raster", QColor(70, 130, 230)},
        {"qcustomplot/opengl", QColor(150, 190, 255)}, {"qwt/raster", QColor(230, 120, 40)},
        {"qwt/opengl", QColor(250, 200, 120)},       {"llvmpipe/floor", QColor(150, 150, 150)}};
    return colours;
}

class Chart
{
public:
    Chart(std::vector<Row> rows, int width, int height) : m_Rows(std::move(rows)), m_iWidth(width), m_iHeight(height)
    {
        for (const Row& row : m_Rows)
            if (std::find(m_Groups.begin(), m_Groups.end(), row.group) == m_Groups.end())
                m_Groups.push_back(row.group);
        // Only libraries that were run get a bar slot, so that no group shows an empty gap.
        for (const auto& colour : LibraryColours())
            if (std::any_of(m_Rows.begin(), m_Rows.end(), [&](const Row& r) { return r.library == colour.first; }))
                m_Colours.push_back(colour);
    }

    void Draw(GLFrameWidget& s)
    {
        FillRect(s, 0, 0, float(m_iWidth), float(m_iHeight), QColor(255, 255, 255));
        DrawScale(s);
        const float groupWidth = float(m_iRight - m_iLeft) / std::max<size_t>(1, m_Groups.size());
        const float bar = groupWidth * 0.8f / float(m_Colours.size());
        for (size_t g = 0; g < m_Groups.size(); ++g) {
            const float x0 = m_iLeft + g * groupWidth + groupWidth * 0.1f;
            for (size_t c = 0; c < m_Colours.size(); ++c)
                for (const Row& row : m_Rows)
                    if (row.group == m_Groups[g] && row.library == m_Colours[c].first) {
                        const float top = Y(row.fps);
                        FillRect(s, x0 + c * bar, top, bar - 1, float(m_iBottom) - top, m_Colours[c].second);
                    }
            Text(s, m_Groups[g].section(' ', 0, 0), x0, float(m_iBottom) + 6, QColor(0, 0, 0));
            Text(s, m_Groups[g].section(' ', 1, 1), x0, float(m_iBottom) + 20, QColor(0, 0, 0));
        }
        for (size_t c = 0; c < m_Colours.size(); ++c) {
            const float x = float(m_iLeft + 10 + c * 190);
            FillRect(s, x, 12, 14, 14, m_Colours[c].second);
            Text(s, m_Colours[c].first, x + 20, 12, QColor(0, 0, 0));
        }
        Text(s, "frames per second (log scale; waterfall: lines per second)", float(m_iLeft), 34, QColor(0, 0, 0));
    }

private:
    // Decades from 1 to 10,000 frames per second.
    float Y(double fps) const
    {
        const double t = std::clamp(std::log10(std::max(fps, 1.0)) / 4.0, 0.0, 1.0);
        return float(m_iBottom - t * (m_iBottom - m_iTop));
    }

    void DrawScale(GLFrameWidget& s)
    {
        GL::GLLines grid;
        grid.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 1, QColor(200, 200, 200)));
        for (int decade = 0; decade <= 4; ++decade) {
            const float y = Y(std::pow(10.0, decade));
            grid.AddLine(float(m_iLeft), y, float(m_iRight), y);
            Text(s, QString::number(std::pow(10.0, decade)), 8, y - 7, QColor(0, 0, 0));
        }
        s.DrawLines(grid);
    }

    void FillRect(GLFrameWidget& s, float x, float y, float w, float h, const QColor& colour)
    {
        GL::GLPolygon rect;
        rect.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, colour, QColor()));
        rect.SetLineStyle(GL::GLLineStyle(GL::eLineNone, 0, colour));
        rect.SetRect(x, y, w, h);
        s.DrawPolygon(rect, false);
    }

    void Text(GLFrameWidget& s, const QString& text, float x, float y, const QColor& colour)
    {
        GL::GLText label;
        label.SetFont(QFont("DejaVu Sans", 9), &s);
        label.SetText(text, &s);
        label.SetColor(colour);
        label.SetPos(x, y);
        s.DrawTextW(label, true, nullptr);
    }

    std::vector<Row> m_Rows;
    std::vector<QString> m_Groups;
    std::vector<std::pair<QString, QColor>> m_Colours;
    int m_iWidth, m_iHeight;
    int m_iLeft = 60, m_iRight = m_iWidth - 20, m_iTop = 60, m_iBottom = m_iHeight - 40;
};
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TABLE.csv OUT.png\n", argv[0]);
        return 2;
    }
    const std::vector<Row> rows = ReadTable(argv[1]);
    if (rows.empty()) {
        std::fprintf(stderr, "%s: no measured rows in %s\n", argv[0], argv[1]);
        return 1;
    }
    GLFrameWidget::setRenderPath(GLFrameWidget::ePathScanBuffer);
    ChartSurface surface;
    surface.resize(1600, 600);
    Chart chart(rows, 1600, 600);
    surface.paint = [&](ChartSurface& s) { chart.Draw(s); };
    QImage image;
    if (!surface.RenderToImage(&image) || !image.save(argv[2])) {
        std::fprintf(stderr, "%s: could not render or save %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
