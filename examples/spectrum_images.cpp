#include "spectrum_images.h"

#include "glpainter.h"


#include <algorithm>
#include <cmath>

namespace spectrum {

namespace {

QVector<unsigned int> PhosphorTable()
{
    QVector<unsigned int> table;
    for (int i = 0; i < 256; ++i)
        table.push_back(qRgb(i * i / 500, i, i * i / 700));
    return table;
}

int LevelByte(float level)
{
    const double f = (level - cdLevelMin) / (cdLevelMax - cdLevelMin);
    return std::clamp(int(f * 255.0), 0, 255);
}

} // namespace

unsigned long long FrameStamp(int frame) { return 1 + 16667ULL * static_cast<unsigned long long>(frame); }

double ByteLevel(int byte) { return cdLevelMin + byte * (cdLevelMax - cdLevelMin) / 255.0; }

QVector<unsigned int> HeatTable()
{
    QVector<unsigned int> table;
    for (int i = 0; i < 256; ++i) {
        const double t = i / 255.0;
        const auto ramp = [t](double from, double to) { return int(255 * std::clamp((t - from) / (to - from), 0.0, 1.0)); };
        table.push_back(qRgb(ramp(0.25, 0.6), ramp(0.55, 0.9), std::max(ramp(0.0, 0.3) - ramp(0.4, 0.6), ramp(0.85, 1.0))));
    }
    return table;
}

std::vector<unsigned char> LevelBytes(const std::vector<float>& levels, int columns)
{
    std::vector<unsigned char> bytes(size_t(std::max(columns, 0)), 0);
    const size_t n = levels.size();
    for (size_t i = 0; i < n && columns > 0; ++i) {
        unsigned char& b = bytes[i * size_t(columns) / n];
        b = static_cast<unsigned char>(std::max<int>(b, LevelByte(levels[i])));
    }
    return bytes;
}

int FrameFed::NewFrames()
{
    if (m_iFed == m_iFrame)
        return 0;
    const int frames = m_iFrame > m_iFed ? m_iFrame - m_iFed : 1;
    m_iFed = m_iFrame;
    return frames;
}

TraceFill::TraceFill(std::weak_ptr<axisDefinition> x) : m_X(std::move(x))
{
    m_Bins.setXType(true);
    m_Bins.init(cdFreqMin, cdFreqMax, -1);
    m_Bins.SetPixelCnt(ciBins);
    m_Line.SetXAxis(m_Bins.GetAxisDefinitionSet());
    m_Line.SetStepLineStyle(GLFrameWidget::eStepNone);
    m_Line.SetDataRange(0, 255);
    m_Area.SetFillStyle(GLFrameWidget::GLFillStyle(GLFrameWidget::eFillSolid, QColor(40, 110, 200, 80), QColor()));
    m_Area.Connect(&m_Line, 0);
}

void TraceFill::draw(GLPainter&, GLCommonWidget* widget, int)
{
    const auto x = m_X.lock();
    if (!x)
        return;
    if (NewFrame()) {
        const std::vector<unsigned char> bytes = LevelBytes(SyntheticSpectrum(m_iFrame), ciBins);
        m_Line.SetData(bytes.data(), int(bytes.size()));
    }
    m_Line.SetDestRect(0, 0, widget->width(), widget->height());
    m_Line.SetDestXAxis(x->GetAxisDefinitionSet());
    m_Line.Update();
    widget->GetFrameWidget()->DrawStepArea(m_Area);
}

void PersistenceImage::draw(GLPainter&, GLCommonWidget* widget, int)
{
    const auto x = m_X.lock();
    GLFrameWidget* surface = widget->GetFrameWidget();
    if (!x)
        return;
    if (m_iImage < 0) {
        m_iImage = surface->CreateAgedImage();
        surface->SetAgedImageBufferSize(m_iImage, ciColumns, ciRows);
        surface->SetAgedImageColorTable(m_iImage, HeatTable());
        surface->SetAgedImageXAxis(m_iImage, cdFreqMin, cdFreqMax, ciColumns);
        surface->SetAgedImageYAxis(m_iImage, cdLevelMin, cdLevelMax);
        surface->SetAgedImageDestYAxis(m_iImage, cdLevelMin, cdLevelMax);
        surface->SetAgedImageHoldTime(m_iImage, 1000);
        surface->SetAgeing(m_iImage, true);
    }
    surface->SetAgedImageDestXAxis(m_iImage, x->GetAxisDefinitionSet());
    if (NewFrame()) {
        // Each column joins the trace to its left neighbour, so steep flanks stay visible.
        const std::vector<unsigned char> bytes = LevelBytes(SyntheticSpectrum(m_iFrame), ciColumns);
        m_vFrame.assign(size_t(ciColumns) * ciRows, 0);
        int previous = -1;
        for (int c = 0; c < ciColumns; ++c) {
            const int row = (255 - bytes[size_t(c)]) * (ciRows - 1) / 255;
            const int from = previous < 0 ? row : std::min(previous, row);
            const int to = previous < 0 ? row : std::max(previous, row);
            for (int r = from; r <= to; ++r)
                m_vFrame[size_t(r) * ciColumns + size_t(c)] = static_cast<unsigned char>(ciTopValue - r * (ciTopValue - 1) / (ciRows - 1));
            previous = row;
        }
        surface->SetAgedImageData(m_iImage, FrameStamp(m_iFrame), m_vFrame.data(), ciColumns, int(m_vFrame.size()));
    }
    surface->DrawAgedImage(m_iImage);
}

void WaterfallImage::draw(GLPainter&, GLCommonWidget* widget, int)
{
    const auto x = m_X.lock();
    GLFrameWidget* surface = widget->GetFrameWidget();
    if (!x)
        return;
    if (m_iImage < 0) {
        m_iImage = surface->CreateLineImage();
        surface->SetLineImageBufferHeight(m_iImage, ciLines);
        surface->SetLineImageColorTable(m_iImage, HeatTable());
        surface->SetLineImageXAxis(m_iImage, cdFreqMin, cdFreqMax, ciColumns);
        surface->SetLineImageYAxis(m_iImage, 0, ciLines);
        surface->SetLineImageDestYAxis(m_iImage, 0, ciLines);
        m_pTimeScale->SetLineImage(m_iImage);
    }
    surface->SetLineImageDestXAxis(m_iImage, x->GetAxisDefinitionSet());
    const int frames = std::min(NewFrames(), ciLines);
    for (int frame = m_iFrame - frames + 1; frame <= m_iFrame; ++frame) {
        const std::vector<unsigned char> line = LevelBytes(SyntheticSpectrum(frame), ciColumns);
        surface->SetLineImageData(m_iImage, FrameStamp(frame), line.data(), int(line.size()));
    }
    surface->DrawLineImage(m_iImage);
}

WaterfallReadout::WaterfallReadout(std::weak_ptr<axisDefinition> x, std::shared_ptr<WaterfallImage> image,
                                   std::shared_ptr<GLTimeScale> timeScale)
    : m_X(std::move(x)), m_pImage(std::move(image)), m_pTimeScale(std::move(timeScale))
{
}

QString WaterfallReadout::Text(GLFrameWidget& surface, QPoint pos, int height) const
{
    const auto x = m_X.lock();
    const int id = m_pImage->Image();
    const int line = surface.GetLineImageLineAt(id, pos.y(), height);
    bool valid = false;
    const double frequency = x ? x->PixelToValue(pos.x(), &valid, false) : 0.0;
    const std::string& data = surface.GetLineImageData(id, line);
    if (data.empty() || !valid)
        return QString();
    const double f = (frequency - cdFreqMin) / (cdFreqMax - cdFreqMin);
    const size_t column = std::min(data.size() - 1, size_t(std::max(0.0, f * double(data.size()))));
    const qint64 ms = m_pTimeScale->StampToMs(surface.GetLineImageTimeStamp(id, line));
    return QStringLiteral("%1 MHz  %2  %3 dB")
        .arg(frequency, 0, 'f', 3)
        .arg(m_pTimeScale->FormatTime(ms, 1))
        .arg(ByteLevel(static_cast<unsigned char>(data[column])), 0, 'f', 1);
}

void WaterfallReadout::draw(GLPainter& painter, GLCommonWidget* widget, int)
{
    const QString text = m_Pos.x() < 0 ? QString() : Text(*widget->GetFrameWidget(), m_Pos, widget->height());
    if (text.isEmpty())
        return;
    // Beside the cursor, on whichever side leaves the text inside the panel.
    QRect box = painter.boundingRect(QRect(), Qt::AlignLeft, text).adjusted(-4, -2, 4, 2);
    box.moveTopLeft(m_Pos + QPoint(12, 12));
    if (box.right() >= widget->width())
        box.moveRight(m_Pos.x() - 12);
    if (box.bottom() >= widget->height())
        box.moveBottom(m_Pos.y() - 12);
    painter.fillRect(box, QBrush(QColor(0, 0, 0, 190)));
    painter.setPen(QPen(QColor(230, 235, 245)));
    painter.drawText(box, Qt::AlignCenter, text);
    painter.setPen(QPen(QColor(255, 255, 255, 160), 1, Qt::DotLine));
    painter.drawLine(0, m_Pos.y(), widget->width(), m_Pos.y());
}

void PolarSweep::Create(GLFrameWidget& surface, int width)
{
    if (m_iImage < 0) {
        m_iImage = surface.CreateAgedImage();
        surface.SetAgedImageColorTable(m_iImage, PhosphorTable());
        surface.SetAgedImageYAxis(m_iImage, 0, 1);
        surface.SetAgedImageDestYAxis(m_iImage, 0, 1);
        surface.SetAgedImageHoldTime(m_iImage, 1000);
        // North up, a small empty disc in the centre.
        surface.SetAgedImagePolarParams(m_iImage, true, true, 6, 6, 6, 6, 0.08f, 0);
        surface.SetAgeing(m_iImage, true);
    }
    // A ring's radii follow the viewport's columns, so the image is kept as wide as its panel.
    surface.SetAgedImageBufferSize(m_iImage, width, ciAngles);
    surface.SetAgedImageXAxis(m_iImage, 0, width - 1, width);
    surface.SetAgedImageDestXAxis(m_iImage, 0, width - 1, width);
}

void PolarSweep::Sweep(GLFrameWidget& surface, int width, int frame)
{
    struct Target
    {
        double dRange, dBearing;
    };
    const Target targets[] = {{0.35, 40}, {0.62, 130}, {0.8, 210}, {0.5, 300}, {0.9, 330}};
    m_vFrame.assign(size_t(width) * ciAngles, 0);
    const int first = (frame * ciDegreesPerFrame) % 360;
    for (int a = first; a < first + ciDegreesPerFrame; ++a) {
        // Row r holds the angles from 359 - r to 360 - r, the last row starting at north.
        unsigned char* row = m_vFrame.data() + size_t(359 - a % 360) * size_t(width);
        for (int c = 0; c < width; ++c) {
            const double range = double(c) / width;
            // A faint glow behind the sweep, clutter near the centre and sparse noise further out.
            int value = range < 0.12 ? 120 + (c * 37 + a * 11) % 100 : ((c * 131 + a * 71) % 97 == 0 ? 90 : 28);
            for (const Target& t : targets) {
                const double drift = t.dBearing + frame * 0.05;
                if (std::abs(std::remainder(a - drift, 360.0)) < 3 && std::abs(range - t.dRange) < 0.025)
                    value = ciTopValue;
            }
            row[c] = static_cast<unsigned char>(value);
        }
        row[0] = 0;
    }
    surface.SetAgedImageData(m_iImage, FrameStamp(frame), m_vFrame.data(), width, int(m_vFrame.size()));
}

void PolarSweep::draw(GLPainter&, GLCommonWidget* widget, int)
{
    GLFrameWidget* surface = widget->GetFrameWidget();
    const int width = widget->width();
    if (width < 4)
        return;
    Create(*surface, width);
    // Frames that were not painted still sweep their sector, up to one turn.
    const int frames = std::min(NewFrames(), 360 / ciDegreesPerFrame);
    for (int frame = m_iFrame - frames + 1; frame <= m_iFrame; ++frame)
        Sweep(*surface, width, frame);
    surface->DrawAgedImagePolar(m_iImage);
    using GL = GLFrameWidget;
    const GL::GLLineStyle ring(GL::eLineDotted, 1, QColor(70, 160, 90));
    for (int k = 1; k <= 4; ++k)
        surface->DrawAgedImagePolarXCircle(m_iImage, width * k / 4, ring);
    const GL::GLLineStyle spoke(GL::eLineSolid, 1, QColor(40, 110, 60));
    for (int k = 0; k < 12; ++k)
        surface->DrawAgedImagePolarYLine(m_iImage, float(k * 3.14159265 / 6), spoke);
}

void PanelTitle::draw(GLPainter& painter, GLCommonWidget*, int)
{
    painter.setPen(QPen(QColor(190, 200, 220)));
    painter.drawText(QRect(6, 3, 200, 16), Qt::AlignLeft | Qt::AlignTop, m_sText);
}

} // namespace spectrum
