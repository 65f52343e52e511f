#include "Previews.h"

#include "Paint.h"

#include <QLinearGradient>
#include <QPainter>

#include <cmath>

namespace art {

namespace {

// Every preview is laid out in the units in which the panel shows it (its
// picture fitted into 219 x 140), then painted scaled up to its own pixel
// size. So all previews look alike on screen however large the picture is.
constexpr double kShownWidth = 219, kShownHeight = 140;
constexpr double kTitleHeight = 15;

namespace tone {
const QColor ink(0x38, 0x38, 0x38);
const QColor mid(0x6a, 0x6a, 0x6a);
const QColor light(0x98, 0x98, 0x98);
const QColor grid(0xe6, 0xe6, 0xe6);
const QColor track(0xea, 0xea, 0xea);
const QColor bar(0xa6, 0xa6, 0xa6);
const QColor barDark(0x76, 0x76, 0x76);
const QColor zebra(0xf4, 0xf4, 0xf4);
} // namespace tone

struct Gadget {
    QPainter& p;
    double w, h; // window size in layout units
    QRectF body; // the area below the title bar, inside the window's border
};

// Fonts of the gadget windows, in layout units.
QFont small() {
    return sans(6);
}
QFont label() {
    return sans(7);
}
QFont strong() {
    return sans(7, true);
}
QFont figure(int px) {
    return sans(px, true);
}

void text(QPainter& p, double x, double baseline, const QString& s, const QFont& f, const QColor& c) {
    fillText(p, QPointF(x, baseline), s, f, c);
}
void textRight(QPainter& p, double right, double baseline, const QString& s, const QFont& f,
               const QColor& c) {
    fillText(p, QPointF(right - textWidth(s, f), baseline), s, f, c);
}
void textCentre(QPainter& p, double centre, double baseline, const QString& s, const QFont& f,
                const QColor& c) {
    fillText(p, QPointF(centre - textWidth(s, f) / 2, baseline), s, f, c);
}

void fill(QPainter& p, const QRectF& r, const QColor& c) {
    p.fillRect(r, c);
}

// A small up or down triangle centred on `c` (the text face has no such glyphs).
void arrow(QPainter& p, const QPointF& c, bool up, const QColor& colour) {
    const double s = up ? -1 : 1;
    const QPointF pts[] = {c + QPointF(-3, -2.2 * s), c + QPointF(3, -2.2 * s), c + QPointF(0, 2.6 * s)};
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(pts, 3);
}

void roundBar(QPainter& p, const QRectF& r, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    const double radius = std::min(r.width(), r.height()) / 2;
    p.drawRoundedRect(r, radius, radius);
}

void hline(QPainter& p, double x1, double x2, double y, const QColor& c, double width = 0.8) {
    p.setPen(QPen(c, width));
    p.drawLine(QPointF(x1, y), QPointF(x2, y));
}

// A small deterministic sequence for believable data.
class Noise {
public:
    explicit Noise(quint32 seed) : m_state(seed) {}
    double next() { // in [-1, 1]
        m_state = m_state * 1664525u + 1013904223u;
        return double(m_state >> 8) / double(1u << 24) * 2.0 - 1.0;
    }

private:
    quint32 m_state;
};

QImage gadget(QSize size, double ratio, const QString& caption, const std::function<void(Gadget&)>& content) {
    const double scale = std::max(1.0, std::max(size.width() / kShownWidth, size.height() / kShownHeight));
    const double w = size.width() / scale, h = size.height() / scale;

    QImage image = canvas(qRound(size.width() * ratio), qRound(size.height() * ratio));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale * ratio, scale * ratio);

    const QRectF window(0.5, 0.5, w - 1, h - 1);
    const double radius = 3.5;
    QPainterPath shape;
    shape.addRoundedRect(window, radius, radius);

    QLinearGradient bodyFill(0, 0, 0, h);
    bodyFill.setColorAt(0, QColor(0xff, 0xff, 0xff));
    bodyFill.setColorAt(1, QColor(0xf3, 0xf3, 0xf3));
    p.fillPath(shape, bodyFill);

    // Title bar: dark grey strip with the caption, an accent tile and the window buttons.
    p.save();
    p.setClipPath(shape);
    QLinearGradient bar(0, 0, 0, kTitleHeight);
    bar.setColorAt(0, QColor(0x66, 0x66, 0x66));
    bar.setColorAt(1, QColor(0x44, 0x44, 0x44));
    p.fillRect(QRectF(0, 0, w, kTitleHeight), bar);
    p.fillRect(QRectF(0, kTitleHeight, w, 0.8), QColor(0x2e, 0x2e, 0x2e));
    p.restore();

    const QRectF tile(5, 4, 7, 7);
    p.setPen(Qt::NoPen);
    p.setBrush(ink::accent);
    p.drawRoundedRect(tile, 1.4, 1.4);
    p.setPen(QPen(Qt::white, 0.9));
    p.drawLine(QPointF(6.6, 9.6), QPointF(6.6, 8.2));
    p.drawLine(QPointF(8.5, 9.6), QPointF(8.5, 6.4));
    p.drawLine(QPointF(10.4, 9.6), QPointF(10.4, 5.2));
    text(p, 16, 10.6, caption, strong(), QColor(0xf8, 0xf8, 0xf8));

    const QColor glyph(0xd8, 0xd8, 0xd8);
    p.setPen(QPen(glyph, 1.0));
    p.drawLine(QPointF(w - 24, 8.5), QPointF(w - 19, 8.5));
    p.drawLine(QPointF(w - 11.5, 5), QPointF(w - 6.5, 10));
    p.drawLine(QPointF(w - 11.5, 10), QPointF(w - 6.5, 5));

    p.setPen(QPen(QColor(0x8a, 0x8a, 0x8a), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);

    Gadget g{p, w, h, QRectF(1, kTitleHeight + 1, w - 2, h - kTitleHeight - 2)};
    p.save();
    content(g);
    p.restore();
    return image;
}

// Horizontal ranking: rank, name, value and a bar per row.
struct RankRow {
    QString name;
    QString detail;
    double value;
};

void rankingRows(Gadget& g, double top, double rowHeight, const std::vector<RankRow>& rows, bool avatars) {
    QPainter& p = g.p;
    const double left = 6, right = g.w - 6;
    const double max = rows.front().value;
    for (size_t i = 0; i < rows.size(); ++i) {
        const RankRow& row = rows[i];
        const double y = top + rowHeight * double(i);
        const bool first = i == 0;
        double x = left;
        if (avatars) {
            // Initials in a round badge.
            const QString initials =
                row.name.left(1) + row.name.mid(row.name.indexOf(QLatin1Char(' ')) + 1, 1);
            const QPointF c(left + 7, y + rowHeight / 2 - 0.5);
            p.setPen(Qt::NoPen);
            p.setBrush(first ? ink::accent : QColor(0xb4, 0xb4, 0xb4));
            p.drawEllipse(c, 7, 7);
            textCentre(p, c.x(), c.y() + 2.4, initials, sans(6, true), Qt::white);
            x = left + 18;
        } else {
            const QPointF c(left + 4.5, y + 6.2);
            p.setPen(Qt::NoPen);
            p.setBrush(first ? ink::accent : QColor(0xc4, 0xc4, 0xc4));
            p.drawEllipse(c, 4.5, 4.5);
            textCentre(p, c.x(), c.y() + 2.2, QString::number(i + 1), sans(6, true), Qt::white);
            x = left + 13;
        }
        text(p, x, y + 8.5, row.name, avatars ? strong() : label(), tone::ink);
        if (!row.detail.isEmpty())
            textRight(p, right - 52, y + 8.5, row.detail, small(), tone::light);
        textRight(p, right, y + 8.5, money(row.value, 0), strong(), first ? ink::accent : tone::ink);
        const QRectF track(x, y + 11.5, right - x, 3.2);
        roundBar(p, track, tone::track);
        roundBar(p, QRectF(track.topLeft(), QSizeF(track.width() * row.value / max, track.height())),
                 first ? ink::accent : tone::bar);
    }
}

QImage abcProdutos(QSize size, double ratio) {
    return gadget(size, ratio, QStringLiteral("Produtos Mais Vendidos"), [](Gadget& g) {
        QPainter& p = g.p;
        const double top = g.body.top();
        text(p, 6, top + 10, QStringLiteral("Top 5 • Março/2024"), small(), tone::mid);
        textRight(p, g.w - 6, top + 10, QStringLiteral("Faturamento"), small(), tone::mid);
        hline(p, 6, g.w - 6, top + 13.5, tone::grid);
        rankingRows(g, top + 16, 21.5,
                    {{QStringLiteral("Arroz Branco Tipo 1 5kg"), {}, 18430},
                     {QStringLiteral("Café Torrado Moído 500g"), {}, 15872},
                     {QStringLiteral("Óleo de Soja 900ml"), {}, 12905},
                     {QStringLiteral("Leite Integral 1L"), {}, 11249},
                     {QStringLiteral("Açúcar Refinado 1kg"), {}, 8617}},
                    false);
    });
}

QImage abcVendedor(QSize size, double ratio) {
    return gadget(size, ratio, QStringLiteral("Ranking de Vendedores"), [](Gadget& g) {
        QPainter& p = g.p;
        const double top = g.body.top();
        text(p, 6, top + 10, QStringLiteral("Março/2024 • 5 vendedores"), small(), tone::mid);
        textRight(p, g.w - 6, top + 10, QStringLiteral("Vendas"), small(), tone::mid);
        hline(p, 6, g.w - 6, top + 13.5, tone::grid);
        rankingRows(g, top + 16, 21.5,
                    {{QStringLiteral("Carla Menezes"), QStringLiteral("148 vendas"), 42310},
                     {QStringLiteral("Rafael Souza"), QStringLiteral("131 vendas"), 37845},
                     {QStringLiteral("Juliana Prado"), QStringLiteral("117 vendas"), 31290},
                     {QStringLiteral("Marcos Vieira"), QStringLiteral("96 vendas"), 26470},
                     {QStringLiteral("Patrícia Alves"), QStringLiteral("88 vendas"), 21935}},
                    true);
    });
}

QImage abcGrupo(QSize size, double ratio) {
    return gadget(size, ratio, QStringLiteral("Ranking de Grupos"), [](Gadget& g) {
        QPainter& p = g.p;
        const double top = g.body.top();
        text(p, 6, top + 10, QStringLiteral("Participação nas vendas • Março/2024"), small(), tone::mid);
        hline(p, 6, g.w - 6, top + 13.5, tone::grid);

        struct Slice {
            QString name;
            double share;
            QColor colour;
        };
        const std::vector<Slice> slices = {
            {QStringLiteral("Mercearia"), 34.2, ink::accent},
            {QStringLiteral("Bebidas"), 22.8, QColor(0xd9, 0x8a, 0x84)},
            {QStringLiteral("Limpeza"), 16.5, QColor(0x5e, 0x5e, 0x5e)},
            {QStringLiteral("Hortifrúti"), 14.1, QColor(0x94, 0x94, 0x94)},
            {QStringLiteral("Frios e Laticínios"), 12.4, QColor(0xc6, 0xc6, 0xc6)},
        };
        // Donut on the left, total in its hole.
        const QPointF c(40, top + 58);
        const double outer = 33, inner = 20;
        double angle = 90;
        for (const Slice& s : slices) {
            const double span = -s.share / 100.0 * 360.0;
            QPainterPath wedge;
            wedge.moveTo(c);
            wedge.arcTo(QRectF(c.x() - outer, c.y() - outer, 2 * outer, 2 * outer), angle, span);
            wedge.closeSubpath();
            p.setPen(QPen(Qt::white, 1.0));
            p.setBrush(s.colour);
            p.drawPath(wedge);
            angle += span;
        }
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xfb, 0xfb, 0xfb));
        p.drawEllipse(c, inner, inner);
        textCentre(p, c.x(), c.y() - 1, QStringLiteral("R$ 304"), figure(8), tone::ink);
        textCentre(p, c.x(), c.y() + 7, QStringLiteral("mil"), small(), tone::mid);

        // Legend with shares.
        const double lx = 82, right = g.w - 6;
        for (size_t i = 0; i < slices.size(); ++i) {
            const double y = top + 27 + 16.5 * double(i);
            p.setPen(Qt::NoPen);
            p.setBrush(slices[i].colour);
            p.drawRoundedRect(QRectF(lx, y - 6, 6, 6), 1, 1);
            text(p, lx + 10, y, slices[i].name, i == 0 ? strong() : label(), tone::ink);
            textRight(p, right, y, percent(slices[i].share), strong(), i == 0 ? ink::accent : tone::mid);
            if (i + 1 < slices.size())
                hline(p, lx + 10, right, y + 5.5, tone::grid, 0.6);
        }
    });
}

QImage mirendo(QSize size, double ratio) {
    return gadget(size, ratio, QStringLiteral("Saldo Disponível/Circulante"), [](Gadget& g) {
        QPainter& p = g.p;
        const double top = g.body.top();
        text(p, 7, top + 11, QStringLiteral("Saldo disponível"), label(), tone::mid);
        text(p, 7, top + 25, money(84215.37), figure(11), ink::accent);
        text(p, 7, top + 38, QStringLiteral("Saldo circulante"), label(), tone::mid);
        text(p, 7, top + 52, money(312908.50), figure(11), tone::ink);

        // Ring: the available part of the current balance.
        const QPointF c(g.w - 26, top + 29);
        const double r = 17;
        const QRectF ring(c.x() - r, c.y() - r, 2 * r, 2 * r);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(tone::track, 6, Qt::SolidLine, Qt::FlatCap));
        p.drawEllipse(ring);
        p.setPen(QPen(ink::accent, 6, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(ring, 90 * 16, -int(0.269 * 360 * 16));
        textCentre(p, c.x(), c.y() + 2.5, QStringLiteral("27%"), sans(7, true), tone::ink);

        hline(p, 7, g.w - 7, top + 60, tone::grid);
        struct Line {
            QString name;
            double value;
        };
        const Line lines[] = {{QStringLiteral("Caixa"), 6480.20},
                              {QStringLiteral("Bancos"), 52735.17},
                              {QStringLiteral("Aplicações"), 25000.00},
                              {QStringLiteral("Contas a receber"), 146380.22},
                              {QStringLiteral("Estoque"), 82312.91}};
        for (int i = 0; i < 5; ++i) {
            const double y = top + 69 + 10 * i;
            p.setPen(Qt::NoPen);
            p.setBrush(i < 3 ? ink::accent : tone::bar);
            p.drawEllipse(QPointF(10, y - 2.4), 1.8, 1.8);
            text(p, 15, y, lines[i].name, label(), tone::ink);
            textRight(p, g.w - 7, y, money(lines[i].value), label(), tone::ink);
        }
        text(p, 7, g.h - 5, QStringLiteral("Atualizado às 14:32"), small(), tone::light);
    });
}

QImage pontoCritico(QSize size, double ratio) {
    return gadget(size, ratio, QStringLiteral("Produtos em Ponto Crítico"), [](Gadget& g) {
        QPainter& p = g.p;
        const double top = g.body.top();
        const double left = 5, right = g.w - 5;
        const double colStock = right - 64, colMin = right - 30;
        fill(p, QRectF(left, top + 4, right - left, 12), QColor(0xe8, 0xe8, 0xe8));
        text(p, left + 4, top + 12.5, QStringLiteral("Produto"), strong(), tone::mid);
        textRight(p, colStock, top + 12.5, QStringLiteral("Estoque"), strong(), tone::mid);
        textRight(p, colMin, top + 12.5, QStringLiteral("Mínimo"), strong(), tone::mid);
        textRight(p, right - 3, top + 12.5, QStringLiteral("%"), strong(), tone::mid);

        struct Item {
            QString name;
            int stock, minimum;
        };
        const Item items[] = {{QStringLiteral("Detergente Neutro 500ml"), 4, 24},
                              {QStringLiteral("Sabão em Pó 1kg"), 6, 15},
                              {QStringLiteral("Farinha de Trigo 1kg"), 7, 30},
                              {QStringLiteral("Papel Higiênico 12un"), 9, 20},
                              {QStringLiteral("Molho de Tomate 340g"), 11, 18},
                              {QStringLiteral("Biscoito Recheado 140g"), 14, 25}};
        const double rowH = 14.5;
        for (int i = 0; i < 6; ++i) {
            const Item& it = items[i];
            const double y = top + 17 + rowH * i;
            if (i % 2 == 1)
                fill(p, QRectF(left, y, right - left, rowH), tone::zebra);
            const double ratio = double(it.stock) / it.minimum;
            const bool critical = ratio < 0.4;
            p.setPen(Qt::NoPen);
            p.setBrush(critical ? ink::accent : ink::accentSoft);
            p.drawEllipse(QPointF(left + 5, y + rowH / 2), 2.3, 2.3);
            text(p, left + 10, y + 10, it.name, label(), tone::ink);
            textRight(p, colStock, y + 10, QString::number(it.stock), strong(),
                      critical ? ink::accent : tone::ink);
            textRight(p, colMin, y + 10, QString::number(it.minimum), label(), tone::mid);
            const QRectF track(right - 24, y + 5.5, 21, 3.5);
            roundBar(p, track, tone::track);
            roundBar(p, QRectF(track.topLeft(), QSizeF(track.width() * ratio, track.height())),
                     critical ? ink::accent : ink::accentSoft);
        }
        const double footer = top + 17 + rowH * 6 + 3;
        hline(p, left, right, footer, tone::grid);
        text(p, left + 2, footer + 10, QStringLiteral("6 produtos abaixo do estoque mínimo"), small(),
             tone::mid);
        textRight(p, right, footer + 10, QStringLiteral("Filial 01"), small(), tone::light);
    });
}

QImage tendVendas(QSize size, double ratio) {
    return gadget(size, ratio, QStringLiteral("Tendência de Vendas"), [](Gadget& g) {
        QPainter& p = g.p;
        const double top = g.body.top();
        text(p, 6, top + 10, QStringLiteral("Projeção para março"), small(), tone::mid);
        text(p, 6, top + 23, QStringLiteral("R$ 1,24 mi"), figure(12), tone::ink);
        textRight(p, g.w - 6, top + 10, QStringLiteral("vs. fevereiro"), small(), tone::mid);
        const QString growth = QStringLiteral("8,6%");
        const double growthX = g.w - 6 - textWidth(growth, figure(9));
        textRight(p, g.w - 6, top + 22, growth, figure(9), ink::accent);
        arrow(p, QPointF(growthX - 6, top + 18.6), true, ink::accent);

        // Daily sales in thousands: weekly rhythm, slow growth, a little noise.
        Noise noise(7);
        std::vector<double> sales;
        for (int day = 1; day <= 31; ++day) {
            const int weekday = (day + 4) % 7; // 1 March 2024 was a Friday
            const double rhythm = weekday == 0 ? -12 : (weekday == 6 ? 9 : (weekday == 5 ? 6 : 0));
            sales.push_back(34 + 0.32 * day + rhythm + 3.2 * noise.next());
        }
        const int today = 19;

        const QRectF plot(27, top + 32, g.w - 33, g.h - top - 32 - 25);
        const auto px = [&](double day) { return plot.left() + (day - 1) / 30.0 * plot.width(); };
        const auto py = [&](double v) { return plot.bottom() - v / 60.0 * plot.height(); };
        for (int v = 0; v <= 60; v += 20) {
            hline(p, plot.left(), plot.right(), py(v), v == 0 ? tone::light : tone::grid, v == 0 ? 0.8 : 0.6);
            textRight(p, plot.left() - 3, py(v) + 2.2,
                      v == 0 ? QStringLiteral("0") : QStringLiteral("%1 mil").arg(v), small(), tone::light);
        }
        for (int day : {1, 8, 15, 22, 29})
            textCentre(p, px(day), plot.bottom() + 8, QStringLiteral("%1").arg(day, 2, 10, QLatin1Char('0')),
                       small(), tone::light);

        QPainterPath actual, area;
        for (int day = 1; day <= today; ++day) {
            const QPointF pt(px(day), py(sales[day - 1]));
            day == 1 ? actual.moveTo(pt) : actual.lineTo(pt);
        }
        area = actual;
        area.lineTo(px(today), plot.bottom());
        area.lineTo(px(1), plot.bottom());
        area.closeSubpath();
        QLinearGradient shade(0, plot.top(), 0, plot.bottom());
        shade.setColorAt(0, QColor(ink::accent.red(), ink::accent.green(), ink::accent.blue(), 70));
        shade.setColorAt(1, QColor(ink::accent.red(), ink::accent.green(), ink::accent.blue(), 8));
        p.fillPath(area, shade);

        // Least-squares trend over the days so far, drawn to the month's end.
        double sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (int day = 1; day <= today; ++day) {
            sx += day;
            sy += sales[day - 1];
            sxx += double(day) * day;
            sxy += day * sales[day - 1];
        }
        const double slope = (today * sxy - sx * sy) / (today * sxx - sx * sx);
        const double base = (sy - slope * sx) / today;
        QPen dashed(tone::barDark, 1.1, Qt::DashLine);
        dashed.setDashPattern({3, 2});
        p.setPen(dashed);
        p.drawLine(QPointF(px(1), py(base + slope)), QPointF(px(31), py(base + slope * 31)));

        p.setPen(QPen(ink::accent, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(actual);
        p.setPen(QPen(Qt::white, 1));
        p.setBrush(ink::accent);
        p.drawEllipse(QPointF(px(today), py(sales[today - 1])), 2.3, 2.3);

        const double ly = g.h - 6;
        p.setPen(QPen(ink::accent, 1.4));
        p.drawLine(QPointF(27, ly - 2.3), QPointF(36, ly - 2.3));
        text(p, 39, ly, QStringLiteral("Realizado"), small(), tone::mid);
        p.setPen(dashed);
        p.drawLine(QPointF(80, ly - 2.3), QPointF(90, ly - 2.3));
        text(p, 93, ly, QStringLiteral("Tendência"), small(), tone::mid);
    });
}

QImage vendaHoras(QSize size, double ratio) {
    return gadget(size, ratio, QStringLiteral("Vendas por Hora"), [](Gadget& g) {
        QPainter& p = g.p;
        const double top = g.body.top();
        text(p, 6, top + 10, QStringLiteral("Hoje, 14/03"), small(), tone::mid);
        text(p, 6, top + 23, money(22417.35), figure(11), tone::ink); // sales so far today
        textRight(p, g.w - 6, top + 10, QStringLiteral("Pico de vendas"), small(), tone::mid);
        textRight(p, g.w - 6, top + 22, QStringLiteral("11h • R$ 3.412"), strong(), ink::accent);

        // Sales per hour from 08h; the hour in progress is lighter, later hours show the usual volume as
        // outlines.
        const double values[] = {820, 1460, 2380, 3412, 2950, 2210, 1640, 1890, 2260, 1975, 1420, 930, 510};
        const int now = 10;
        const QRectF plot(26, top + 31, g.w - 31, g.h - top - 31 - 13);
        const auto py = [&](double v) { return plot.bottom() - v / 4000.0 * plot.height(); };
        for (int v = 0; v <= 4000; v += 1000) {
            hline(p, plot.left(), plot.right(), py(v), v == 0 ? tone::light : tone::grid, v == 0 ? 0.8 : 0.6);
            textRight(p, plot.left() - 3, py(v) + 2.2,
                      v == 0 ? QStringLiteral("0") : QStringLiteral("%1 mil").arg(v / 1000), small(),
                      tone::light);
        }
        const double slot = plot.width() / 13.0, barW = slot * 0.62;
        for (int i = 0; i < 13; ++i) {
            const double x = plot.left() + slot * i + (slot - barW) / 2;
            const QRectF r(x, py(values[i]), barW, plot.bottom() - py(values[i]));
            if (i > now) {
                QPen dotted(tone::bar, 0.7, Qt::DotLine);
                p.setPen(dotted);
                p.setBrush(Qt::NoBrush);
                p.drawRect(r.adjusted(0.35, 0.35, -0.35, 0));
            } else {
                p.setPen(Qt::NoPen);
                p.setBrush(i == 3 ? ink::accent : (i == now ? ink::accentSoft : tone::bar));
                p.drawRoundedRect(r.adjusted(0, 0, 0, 1), 1, 1);
            }
            if (i % 2 == 0)
                textCentre(p, x + barW / 2, plot.bottom() + 8,
                           QStringLiteral("%1h").arg(8 + i, 2, 10, QLatin1Char('0')), small(), tone::light);
        }
    });
}

QImage fluxoCaixa(QSize size, double ratio) {
    return gadget(size, ratio, QStringLiteral("Fluxo de Caixa"), [](Gadget& g) {
        QPainter& p = g.p;
        const double top = g.body.top();
        const double left = 6, right = g.w - 6;
        text(p, left, top + 10, QStringLiteral("Saldo atual"), small(), tone::mid);
        text(p, left, top + 22, money(58402.16), figure(10), tone::ink);

        // In (grey) and out (accent) per working day, thousands.
        const double in[] = {8.2, 6.9, 7.8, 5.6, 9.4, 3.3};
        const double out[] = {6.1, 7.7, 5.2, 6.8, 7.5, 3.6};
        const QString days[] = {QStringLiteral("Seg"), QStringLiteral("Ter"), QStringLiteral("Qua"),
                                QStringLiteral("Qui"), QStringLiteral("Sex"), QStringLiteral("Sáb")};
        const QRectF plot(left + 2, top + 29, right - left - 4, 34);
        const auto py = [&](double v) { return plot.bottom() - v / 10.0 * plot.height(); };
        hline(p, plot.left(), plot.right(), py(5), tone::grid, 0.6);
        hline(p, plot.left(), plot.right(), py(10), tone::grid, 0.6);
        const double slot = plot.width() / 6.0, barW = slot * 0.3;
        for (int i = 0; i < 6; ++i) {
            const double x = plot.left() + slot * i + slot * 0.18;
            p.setPen(Qt::NoPen);
            p.setBrush(tone::bar);
            p.drawRect(QRectF(x, py(in[i]), barW, plot.bottom() - py(in[i])));
            p.setBrush(ink::accent);
            p.drawRect(QRectF(x + barW + 0.8, py(out[i]), barW, plot.bottom() - py(out[i])));
            textCentre(p, x + barW + 0.4, plot.bottom() + 8, days[i], small(), tone::light);
        }
        hline(p, plot.left(), plot.right(), plot.bottom(), tone::light);

        double y = plot.bottom() + 20;
        p.setPen(Qt::NoPen);
        p.setBrush(tone::bar);
        p.drawRect(QRectF(left, y - 5, 5, 5));
        text(p, left + 8, y, QStringLiteral("Entradas"), label(), tone::ink);
        textRight(p, right, y, money(41230.00), label(), tone::ink);
        y += 10.5;
        p.setBrush(ink::accent);
        p.drawRect(QRectF(left, y - 5, 5, 5));
        text(p, left + 8, y, QStringLiteral("Saídas"), label(), tone::ink);
        textRight(p, right, y, QStringLiteral("-") + money(36915.40), label(), ink::accent);
        hline(p, left, right, y + 3.5, tone::grid);
        y += 12;
        text(p, left, y, QStringLiteral("Saldo da semana"), strong(), tone::ink);
        textRight(p, right, y, money(4314.60), strong(), tone::ink);
    });
}

QImage contasReceber(QSize size, double ratio) {
    return gadget(size, ratio, QStringLiteral("Contas a Receber"), [](Gadget& g) {
        QPainter& p = g.p;
        const double top = g.body.top();
        const double left = 6, right = g.w - 6;
        text(p, left, top + 10, QStringLiteral("Total a receber"), small(), tone::mid);
        text(p, left, top + 23, money(146380.22), figure(11), tone::ink);
        textRight(p, right, top + 10, QStringLiteral("212 títulos"), small(), tone::mid);

        // Overdue share of the total.
        const QRectF bar(left, top + 28, right - left, 5);
        roundBar(p, bar, tone::bar);
        roundBar(p, QRectF(bar.topLeft(), QSizeF(bar.width() * 0.18, bar.height())), ink::accent);

        struct Row {
            QString name;
            int count;
            double value;
            bool overdue;
        };
        const Row rows[] = {{QStringLiteral("Vencidos"), 31, 26348.44, true},
                            {QStringLiteral("Vencem hoje"), 9, 7912.30, false},
                            {QStringLiteral("Próximos 7 dias"), 48, 34770.15, false},
                            {QStringLiteral("Próximos 30 dias"), 86, 51204.83, false},
                            {QStringLiteral("Acima de 30 dias"), 38, 26144.50, false}};
        for (int i = 0; i < 5; ++i) {
            const double y = top + 46 + 13.5 * i;
            if (i % 2 == 0)
                fill(p, QRectF(left - 2, y - 9, right - left + 4, 13), tone::zebra);
            text(p, left + 1, y, rows[i].name, rows[i].overdue ? strong() : label(),
                 rows[i].overdue ? ink::accent : tone::ink);
            textRight(p, right - 62, y, QStringLiteral("(%1)").arg(rows[i].count), small(), tone::light);
            textRight(p, right - 1, y, money(rows[i].value), rows[i].overdue ? strong() : label(),
                      rows[i].overdue ? ink::accent : tone::ink);
        }
    });
}

QImage contasPagar(QSize size, double ratio) {
    return gadget(size, ratio, QStringLiteral("Contas a Pagar"), [](Gadget& g) {
        QPainter& p = g.p;
        const double top = g.body.top();
        const double left = 5, right = g.w - 5;
        fill(p, QRectF(left, top + 4, right - left, 12), QColor(0xe8, 0xe8, 0xe8));
        text(p, left + 3, top + 12.5, QStringLiteral("Venc."), strong(), tone::mid);
        text(p, left + 31, top + 12.5, QStringLiteral("Fornecedor"), strong(), tone::mid);
        textRight(p, right - 3, top + 12.5, QStringLiteral("Valor"), strong(), tone::mid);

        struct Bill {
            QString due, supplier;
            double value;
        };
        const Bill bills[] = {{QStringLiteral("12/03"), QStringLiteral("Distrib. Alvorada"), 4820.00},
                              {QStringLiteral("14/03"), QStringLiteral("Energia elétrica"), 2136.45},
                              {QStringLiteral("15/03"), QStringLiteral("Laticínios Serra Azul"), 3410.80},
                              {QStringLiteral("18/03"), QStringLiteral("Transp. Rota Sul"), 1275.00},
                              {QStringLiteral("20/03"), QStringLiteral("Embalagens Pioneira"), 986.30},
                              {QStringLiteral("22/03"), QStringLiteral("Aluguel loja centro"), 5500.00}};
        const double rowH = 14;
        for (int i = 0; i < 6; ++i) {
            const double y = top + 17 + rowH * i;
            if (i % 2 == 1)
                fill(p, QRectF(left, y, right - left, rowH), tone::zebra);
            const bool late = i == 0;
            const QColor c = late ? ink::accent : tone::ink;
            text(p, left + 3, y + 9.8, bills[i].due, late ? strong() : label(), c);
            text(p, left + 31, y + 9.8, bills[i].supplier, label(), c);
            textRight(p, right - 3, y + 9.8, money(bills[i].value), late ? strong() : label(), c);
        }
        const double foot = top + 17 + rowH * 6 + 2;
        hline(p, left, right, foot, tone::light);
        text(p, left + 3, foot + 10, QStringLiteral("Total (10 dias)"), strong(), tone::ink);
        textRight(p, right - 3, foot + 10, money(18128.55), strong(), tone::ink);
    });
}

QImage rentabilidade(QSize size, double ratio) {
    return gadget(size, ratio, QStringLiteral("Rentabilidade"), [](Gadget& g) {
        QPainter& p = g.p;
        const double top = g.body.top();
        // Key figures on the left.
        const double kx = 7;
        text(p, kx, top + 11, QStringLiteral("Margem bruta"), small(), tone::mid);
        text(p, kx, top + 26, QStringLiteral("32,4%"), figure(14), ink::accent);
        hline(p, kx, 66, top + 32, tone::grid);
        text(p, kx, top + 43, QStringLiteral("Lucro bruto"), small(), tone::mid);
        text(p, kx, top + 54, money(98412, 0), figure(9), tone::ink);
        hline(p, kx, 66, top + 60, tone::grid);
        text(p, kx, top + 71, QStringLiteral("Markup médio"), small(), tone::mid);
        text(p, kx, top + 82, QStringLiteral("1,48"), figure(9), tone::ink);
        hline(p, kx, 66, top + 88, tone::grid);
        text(p, kx, top + 99, QStringLiteral("Custo das vendas"), small(), tone::mid);
        text(p, kx, top + 110, money(205330, 0), figure(9), tone::ink);

        p.setPen(QPen(tone::grid, 0.8));
        p.drawLine(QPointF(72, top + 4), QPointF(72, g.h - 6));

        // Monthly revenue bars with the margin line over them.
        const QString months[] = {QStringLiteral("Out"), QStringLiteral("Nov"), QStringLiteral("Dez"),
                                  QStringLiteral("Jan"), QStringLiteral("Fev"), QStringLiteral("Mar")};
        const double revenue[] = {248, 266, 341, 229, 257, 304}; // thousands
        const double margin[] = {29.8, 30.6, 27.9, 31.2, 31.7, 32.4};
        const QRectF plot(98, top + 10, g.w - 98 - 22, g.h - top - 10 - 24);
        const auto py = [&](double v) { return plot.bottom() - v / 400.0 * plot.height(); };
        const auto pm = [&](double m) { return plot.bottom() - (m - 20) / 16.0 * plot.height(); };
        for (int v = 0; v <= 400; v += 100) {
            hline(p, plot.left(), plot.right(), py(v), v == 0 ? tone::light : tone::grid, v == 0 ? 0.8 : 0.6);
            textRight(p, plot.left() - 3, py(v) + 2.2, QStringLiteral("%1").arg(v), small(), tone::light);
        }
        for (int m = 20; m <= 36; m += 4)
            text(p, plot.right() + 3, pm(m) + 2.2, QStringLiteral("%1%").arg(m), small(), tone::light);
        text(p, plot.left() - 22, plot.top() - 3.5, QStringLiteral("R$ mil"), small(), tone::light);

        const double slot = plot.width() / 6.0, barW = slot * 0.56;
        QPainterPath line;
        for (int i = 0; i < 6; ++i) {
            const double x = plot.left() + slot * i + (slot - barW) / 2;
            p.setPen(Qt::NoPen);
            p.setBrush(i == 5 ? tone::barDark : tone::bar);
            p.drawRect(QRectF(x, py(revenue[i]), barW, plot.bottom() - py(revenue[i])));
            textCentre(p, x + barW / 2, plot.bottom() + 8, months[i], small(), tone::light);
            const QPointF pt(x + barW / 2, pm(margin[i]));
            i == 0 ? line.moveTo(pt) : line.lineTo(pt);
        }
        p.setPen(QPen(ink::accent, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(line);
        p.setPen(QPen(Qt::white, 0.8));
        p.setBrush(ink::accent);
        for (int i = 0; i < 6; ++i)
            p.drawEllipse(line.elementAt(i), 2, 2);

        const double ly = g.h - 5;
        p.setPen(Qt::NoPen);
        p.setBrush(tone::bar);
        p.drawRect(QRectF(plot.left(), ly - 5, 6, 5));
        text(p, plot.left() + 9, ly, QStringLiteral("Faturamento"), small(), tone::mid);
        p.setPen(QPen(ink::accent, 1.4));
        p.drawLine(QPointF(plot.left() + 56, ly - 2.5), QPointF(plot.left() + 65, ly - 2.5));
        text(p, plot.left() + 68, ly, QStringLiteral("Margem bruta"), small(), tone::mid);
    });
}

QImage contaCaixa(QSize size, double ratio) {
    return gadget(size, ratio, QStringLiteral("Contas Caixa"), [](Gadget& g) {
        QPainter& p = g.p;
        const double top = g.body.top();
        const double left = 5, right = g.w - 5;
        const double cIn = right - 76, cOut = right - 40, cBal = right - 3;
        fill(p, QRectF(left, top + 4, right - left, 12), QColor(0xe8, 0xe8, 0xe8));
        text(p, left + 3, top + 12.5, QStringLiteral("Conta"), strong(), tone::mid);
        textRight(p, cIn, top + 12.5, QStringLiteral("Entradas"), strong(), tone::mid);
        textRight(p, cOut, top + 12.5, QStringLiteral("Saídas"), strong(), tone::mid);
        textRight(p, cBal, top + 12.5, QStringLiteral("Saldo"), strong(), tone::mid);

        struct Account {
            QString name;
            double in, out, balance;
        };
        const Account accounts[] = {{QStringLiteral("Caixa loja 01"), 12480.00, 3215.40, 9264.60},
                                    {QStringLiteral("Caixa loja 02"), 8935.70, 2110.00, 6825.70},
                                    {QStringLiteral("Caixa delivery"), 3120.50, 410.00, 2710.50},
                                    {QStringLiteral("Cofre"), 6000.00, 4500.00, 11240.00},
                                    {QStringLiteral("Conta movimento"), 21450.00, 18932.65, 30187.42},
                                    {QStringLiteral("Cartões a compensar"), 15762.30, 0.00, 15762.30}};
        const double rowH = 14;
        double tin = 0, tout = 0, tbal = 0;
        for (int i = 0; i < 6; ++i) {
            const Account& a = accounts[i];
            const double y = top + 17 + rowH * i;
            if (i % 2 == 1)
                fill(p, QRectF(left, y, right - left, rowH), tone::zebra);
            text(p, left + 3, y + 9.8, a.name, label(), tone::ink);
            textRight(p, cIn, y + 9.8, number(a.in), label(), tone::ink);
            textRight(p, cOut, y + 9.8, number(a.out), label(), a.out > 0 ? ink::accent : tone::light);
            textRight(p, cBal, y + 9.8, number(a.balance), strong(), tone::ink);
            tin += a.in;
            tout += a.out;
            tbal += a.balance;
        }
        const double foot = top + 17 + rowH * 6 + 1.5;
        hline(p, left, right, foot, tone::light);
        text(p, left + 3, foot + 10.5, QStringLiteral("Total"), strong(), tone::ink);
        textRight(p, cIn, foot + 10.5, number(tin), strong(), tone::ink);
        textRight(p, cOut, foot + 10.5, number(tout), strong(), ink::accent);
        textRight(p, cBal, foot + 10.5, number(tbal), strong(), tone::ink);
    });
}

QImage indiceInadimplencia(QSize size, double ratio) {
    return gadget(size, ratio, QStringLiteral("Índice de Inadimplência"), [](Gadget& g) {
        QPainter& p = g.p;
        const double top = g.body.top();
        // Half-circle gauge from 0 % to 10 %, the red zone beyond the 5 % goal.
        const QPointF c(52, top + 62);
        const double r = 37, thick = 8;
        const QRectF arc(c.x() - r, c.y() - r, 2 * r, 2 * r);
        const auto sweep = [&](double from, double to, const QColor& colour) {
            p.setPen(QPen(colour, thick, Qt::SolidLine, Qt::FlatCap));
            p.setBrush(Qt::NoBrush);
            p.drawArc(arc, int((180 - from * 18) * 16), -int((to - from) * 18 * 16));
        };
        sweep(0, 3, QColor(0xc8, 0xc8, 0xc8));
        sweep(3, 5, QColor(0x96, 0x96, 0x96));
        sweep(5, 7.5, ink::accentSoft);
        sweep(7.5, 10, ink::accent);

        const double value = 4.7;
        const double angle = M_PI * (1 - value / 10);
        const QPointF tip(c.x() + (r - 2) * std::cos(angle), c.y() - (r - 2) * std::sin(angle));
        p.setPen(QPen(tone::ink, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c, tip);
        p.setPen(Qt::NoPen);
        p.setBrush(tone::ink);
        p.drawEllipse(c, 3.2, 3.2);
        textRight(p, c.x() - r + 6, c.y() + 9, QStringLiteral("0%"), small(), tone::light);
        text(p, c.x() + r - 8, c.y() + 9, QStringLiteral("10%"), small(), tone::light);
        textCentre(p, c.x(), c.y() + 22, QStringLiteral("4,7%"), figure(14), tone::ink);
        const QString change = QStringLiteral("0,6 p.p. no mês");
        const double changeX = c.x() - (textWidth(change, small()) + 7) / 2;
        arrow(p, QPointF(changeX + 2.5, g.h - 7.3), false, tone::mid);
        text(p, changeX + 7, g.h - 5, change, small(), tone::mid);

        const double kx = 106, right = g.w - 6;
        p.setPen(QPen(tone::grid, 0.8));
        p.drawLine(QPointF(kx - 5, top + 6), QPointF(kx - 5, g.h - 6));
        const struct {
            QString name, value;
            QColor colour;
        } figures[] = {{QStringLiteral("Em atraso"), money(38940, 0), ink::accent},
                       {QStringLiteral("Carteira"), money(828510, 0), tone::ink},
                       {QStringLiteral("Meta"), QStringLiteral("até 5,0%"), tone::ink}};
        for (int i = 0; i < 3; ++i) {
            const double y = top + 15 + 31 * i;
            text(p, kx, y, figures[i].name, small(), tone::mid);
            text(p, kx, y + 11, figures[i].value, strong(), figures[i].colour);
            if (i < 2)
                hline(p, kx, right, y + 17, tone::grid, 0.6);
        }
    });
}

} // namespace

std::vector<Preview> previews() {
    const auto entry = [](const char* name, int w, int h, QImage (*draw)(QSize, double)) {
        const QSize size(w, h);
        return Preview{QString::fromLatin1(name), size,
                       [size, draw](double ratio) { return draw(size, ratio); }};
    };
    return {
        entry("imgAbcProdutos", 195, 142, abcProdutos),
        entry("imgTendVendas", 285, 245, tendVendas),
        entry("imgVendaHoras", 293, 218, vendaHoras),
        entry("imgMirendo", 217, 183, mirendo),
        entry("imgAbcGrupo", 198, 146, abcGrupo),
        entry("imgContaCaixa", 271, 202, contaCaixa),
        entry("imgIndiceInadimplencia", 180, 129, indiceInadimplencia),
        entry("imgRentabilidade", 357, 225, rentabilidade),
        entry("imgAbcVendedor", 202, 146, abcVendedor),
        entry("imgContasPagar", 210, 171, contasPagar),
        entry("imgContasReceber", 202, 164, contasReceber),
        entry("imgFluxoCaixa", 232, 238, fluxoCaixa),
        entry("imgPontoCritico", 268, 189, pontoCritico),
    };
}

} // namespace art
