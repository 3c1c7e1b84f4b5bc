#pragma once
#include <QPainter>
#include <QPolygonF>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cstdint>

// The last ten minutes of the receive rate (a line, 0 to 100 %) and the CRC failures (bars,
// scaled to the worst second shown), one sample a second, newest at the right edge.
class RateChart : public QWidget
{
public:
    static constexpr int Seconds = 600;
    static inline const QColor RateColor{0, 160, 0};
    static inline const QColor CrcColor{200, 0, 0};

    explicit RateChart(QWidget* parent = nullptr) : QWidget(parent)
    {
        setFixedHeight(44);
        setToolTip(QStringLiteral("Receive rate (green) and CRC failures (red), last ten minutes"));
    }

    void Add(int ratePercent, uint64_t crcFailures)
    {
        m_rate[m_next] = static_cast<uint8_t>(std::clamp(ratePercent, 0, 100));
        m_crc[m_next] = static_cast<uint32_t>(std::min<uint64_t>(crcFailures, UINT32_MAX));
        m_next = (m_next + 1) % Seconds;
        m_count = std::min(m_count + 1, Seconds);
        update();
    }
    int Count() const { return m_count; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.fillRect(rect(), palette().base());
        painter.setPen(palette().mid().color());
        painter.drawRect(area);
        if (m_count == 0)
            return;
        const double step = area.width() / Seconds;
        const double height = area.height() - 2;
        // Oldest first; sample i of m_count sits (m_count - i) steps left of the right edge.
        auto at = [this](int i) { return (m_next - m_count + i + Seconds) % Seconds; };
        uint32_t worst = 1;
        for (int i = 0; i < m_count; ++i)
            worst = std::max(worst, m_crc[at(i)]);
        for (int i = 0; i < m_count; ++i)
            if (const uint32_t crc = m_crc[at(i)]) {
                const double x = area.right() - (m_count - i) * step;
                const double h = std::max(1.0, height * crc / worst);
                painter.fillRect(QRectF(x, area.bottom() - 1 - h, std::max(step, 1.0), h), CrcColor);
            }
        QPolygonF line;
        for (int i = 0; i < m_count; ++i)
            line << QPointF(area.right() - (m_count - i - 1) * step, area.bottom() - 1 - height * m_rate[at(i)] / 100);
        if (line.size() == 1)
            line << line.front() - QPointF(step, 0);
        painter.setPen(QPen(RateColor, 1.5));
        painter.drawPolyline(line);
    }

private:
    std::array<uint8_t, Seconds> m_rate{};
    std::array<uint32_t, Seconds> m_crc{};
    int m_next = 0;
    int m_count = 0;
};
