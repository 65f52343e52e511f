#include "ui/Look.h"

#include "ui/Fonts.h"
#include "ui/ImageBox.h"
#include "ui/Paint.h"
#include "ui/WindowShape.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QToolButton>

using namespace look;

namespace {

// A control the panel's look needs: a form without it is a fault of the
// program, not something to draw around.
template <class T> T* required(QWidget* form, const char* name) {
    auto* control = form->findChild<T*>(QString::fromUtf8(name));
    if (!control)
        qFatal("the panel's look needs its control %s", name);
    return control;
}

// ------------------------------------------------------------------ panel

// A gadget box or "Todos": a 15 x 15 box with a grey gradient in a 20-pixel
// column, the tick fading in over 0.1 s when checked and gone at once when
// cleared, the caption beside it, ringed by the dotted focus mark.
class PanelCheckBox : public PaintedControl {
public:
    explicit PanelCheckBox(QCheckBox* box)
        : PaintedControl(box), m_box(box), m_tick(box, box->isChecked()), m_focus(new FocusMark(box)) {
        connect(box, &QCheckBox::toggled, this,
                [this](bool checked) { m_tick.to(checked ? 1 : 0, checked ? TickFadeIn : 0); });
    }

protected:
    void paint(QPainter& painter) override {
        const QRectF box(2, (m_box->height() - 15) / 2, 15, 15);
        QLinearGradient fill(box.topLeft(), box.bottomLeft());
        fill.setColorAt(0, QColor(0xDA, 0xDA, 0xDA));
        fill.setColorAt(1, QColor(0x86, 0x86, 0x86));
        painter.setPen(QPen(QColor(0x20, 0x20, 0x20), 1));
        painter.setBrush(fill);
        painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);

        if (m_tick.value() > 0) {
            const QPointF at = box.topLeft() + QPointF(2, 2); // the 11 x 11 tick, centred
            QPainterPath tick;
            tick.moveTo(at + QPointF(1.5, 5.5));
            tick.lineTo(at + QPointF(4.5, 8.5));
            tick.lineTo(at + QPointF(9.5, 2.0));
            QColor colour = LookColour::Tick;
            colour.setAlphaF(m_tick.value());
            painter.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(tick);
        }

        const QColor caption = m_box->palette().color(QPalette::WindowText);
        painter.setPen(caption);
        painter.setFont(m_box->font());
        const QRect text = padded(20 + 1, 2, 1, 0);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_box->text());
        // Around the caption, a pixel clear of it, over the box's whole height.
        const int width = m_box->fontMetrics().horizontalAdvance(m_box->text());
        m_focus->draw(painter, QRect(text.left() - 2, 0, width + 4, m_box->height()) & m_box->rect(),
                      caption);
    }

private:
    QCheckBox* m_box;
    Fade m_tick;
    FocusMark* m_focus;
};

// "Iniciar Gadgets": a vertical gradient whose top stop follows the
// pointer at once and the press over 0.2 s; the caption stays white, and
// so does the dotted focus mark inside the face.
class StartButton : public PaintedControl {
public:
    explicit StartButton(QPushButton* button)
        : PaintedControl(button), m_button(button), m_top(button, LookColour::StartTop),
          m_focus(new FocusMark(button)) {
        connect(button, &QPushButton::pressed, this,
                [this] { m_top.run(LookColour::StartPressFrom, LookColour::StartPressTo, PressFade); });
        connect(button, &QPushButton::released, this,
                [this] { m_top.run(LookColour::StartPressTo, LookColour::StartPressFrom, PressFade); });
        new FocusGlow(button, DimGrey, 0.9);
    }

protected:
    void pointerOver(bool over) override {
        m_top.set(over ? LookColour::StartTopHover : LookColour::StartTop);
    }

    void paint(QPainter& painter) override {
        const QRectF rect = m_button->rect();
        QLinearGradient fill(rect.topLeft(), rect.bottomLeft());
        fill.setColorAt(0, m_top.colour());
        fill.setColorAt(1, QColor(0x71, 0x71, 0x71));
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(rect, 3, 3);
        const QColor caption = m_button->palette().color(QPalette::ButtonText);
        painter.setPen(caption);
        painter.setFont(m_button->font());
        painter.drawText(padded(5, 2, 5, 2), Qt::AlignCenter | Qt::TextSingleLine, m_button->text());
        m_focus->draw(painter, padded(3, 3, 3, 3), caption);
    }

private:
    QPushButton* m_button;
    ColourFade m_top;
    FocusMark* m_focus;
};

// The two flat buttons, "X" and "Configurações": the caption alone on the
// card, a silver plate under it while the pointer is over the button,
// pressed or not, at once. The settings caption keeps to the right edge to
// leave the gear room. The dotted focus mark runs inside the edge, round
// caption and gear.
class FlatButton : public PaintedControl {
public:
    FlatButton(QToolButton* button, Qt::Alignment alignment)
        : PaintedControl(button), m_button(button), m_alignment(alignment), m_focus(new FocusMark(button)) {}

protected:
    void pointerOver(bool) override { m_button->update(); }

    void paint(QPainter& painter) override {
        if (m_button->underMouse()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(LookColour::FlatHover);
            painter.drawRoundedRect(QRectF(m_button->rect()), 3, 3);
        }
        const QColor caption = m_button->palette().color(QPalette::ButtonText);
        painter.setPen(caption);
        painter.setFont(m_button->font());
        painter.drawText(padded(5, 2, 5, 2), int(m_alignment) | Qt::AlignVCenter | Qt::TextSingleLine,
                         m_button->text());
        m_focus->draw(painter, padded(1, 1, 1, 1), caption);
    }

private:
    QToolButton* m_button;
    Qt::Alignment m_alignment;
    FocusMark* m_focus;
};

// The gadget list takes the focus too (its arrow keys scroll it): the
// dotted mark then runs along the edge of its visible part, drawn on the
// viewport so that it stays put while the boxes scroll.
class ListFocusFrame : public PaintedControl {
public:
    explicit ListFocusFrame(QScrollArea* list)
        : PaintedControl(list->viewport()), m_focus(new FocusMark(list, list->viewport())) {}

protected:
    void paint(QPainter& painter) override { m_focus->draw(painter, m_control->rect(), DimGrey); }

private:
    FocusMark* m_focus;
};

// The divider under the gadget list: a dark grey line along its top.
class Divider : public PaintedControl {
public:
    using PaintedControl::PaintedControl;

protected:
    void paint(QPainter& painter) override {
        painter.fillRect(QRect(0, 0, m_control->width(), 1), LookColour::Divider);
    }
};

// The gadget list's scroll bar: 8 pixels wide, the 2 next to the list a gap,
// no arrows; a track shading from dark to lighter grey left to right, under a
// silver thumb. Everything else (hit tests, dragging) is the base style's.
class SlimScrollBarStyle : public QProxyStyle {
public:
    explicit SlimScrollBarStyle(QObject* owner)
        : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {
        setParent(owner);
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        switch (metric) {
        case PM_ScrollBarExtent:
            return Width;
        case PM_ScrollBarSliderMin:
            return ThumbMinimum;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override {
        const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_ScrollBar || !bar || bar->orientation != Qt::Vertical)
            return QProxyStyle::subControlRect(control, option, part, widget);
        const QRect track = option->rect.adjusted(Gap, 0, 0, 0);
        const int length = track.height();
        const qint64 range = qint64(bar->maximum) - bar->minimum;
        int thumb = length;
        if (range > 0)
            thumb = int(std::clamp<qint64>(qint64(bar->pageStep) * length / (range + bar->pageStep),
                                           std::min(ThumbMinimum, length), length));
        const int top = track.top() + sliderPositionFromValue(bar->minimum, bar->maximum, bar->sliderPosition,
                                                              length - thumb, bar->upsideDown);
        switch (part) {
        case SC_ScrollBarGroove:
            return track;
        case SC_ScrollBarSlider:
            return {track.left(), top, track.width(), thumb};
        case SC_ScrollBarSubPage:
            return {track.left(), track.top(), track.width(), top - track.top()};
        case SC_ScrollBarAddPage:
            return {track.left(), top + thumb, track.width(), track.bottom() + 1 - (top + thumb)};
        default:
            return {}; // no arrows
        }
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        if (control != CC_ScrollBar) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRectF track = subControlRect(control, option, SC_ScrollBarGroove, widget);
        QLinearGradient shade(track.topLeft(), track.topRight());
        shade.setColorAt(0, QColor(0x30, 0x30, 0x30));
        shade.setColorAt(1, QColor(0x60, 0x60, 0x60));
        painter->setPen(Qt::NoPen);
        painter->setBrush(shade);
        painter->drawRoundedRect(track, 3, 3);
        const QRectF thumb = subControlRect(control, option, SC_ScrollBarSlider, widget);
        if (!thumb.isEmpty() && option->state.testFlag(State_Enabled)) {
            painter->setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
            painter->setBrush(LookColour::Thumb);
            painter->drawRoundedRect(thumb.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        }
        painter->restore();
    }

private:
    static constexpr int Width = 8;
    static constexpr int Gap = 2;
    static constexpr int ThumbMinimum = 24;
};

// The panel's captions: Tahoma throughout, in the card's greys.
struct Caption {
    const char* name;
    int pixelSize;
    bool bold;
    QRgb colour;
};
constexpr Caption PanelCaptions[] = {
    {"lblTitulo", 20, false, 0x808080},        {"lblTitulo2", 27, true, 0x696969},
    {"ckbTodos", 15, false, 0x696969},         {"spbFechar", 20, true, 0x696969},
    {"spbConfigurações", 12, false, 0x696969}, {"btnIniciarGadgets", 15, true, 0xFFFFFF},
};
constexpr Caption GadgetBoxCaption{nullptr, 15, true, 0x696969};

void setCaption(QWidget* control, const Caption& caption) {
    QFont font = control->font();
    font.setFamilies({QStringLiteral("Tahoma")});
    font.setPixelSize(caption.pixelSize);
    font.setBold(caption.bold);
    control->setFont(font);
    QPalette palette = control->palette();
    for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        palette.setColor(role, QColor(caption.colour));
    control->setPalette(palette);
}

// The list lies on the artwork: neither it nor its viewport paints a background.
void clearListBackground(QScrollArea* list) {
    list->viewport()->setAutoFillBackground(false);
    if (QWidget* content = list->widget())
        content->setAutoFillBackground(false);
    list->verticalScrollBar()->setStyle(new SlimScrollBarStyle(list));
}

// The panel's outline from its background artwork, where the window system
// cannot show the artwork's alpha.
void shapePanel(QWidget* panel) {
    auto* artwork = required<ImageBox>(panel, "imgPainel");
    if (artwork->picture().isNull() || windowSystemBlendsAlpha()) {
        panel->clearMask();
        return;
    }
    panel->setMask(
        opaqueRegion(artwork->picture().toImage()).translated(artwork->mapTo(panel, QPoint(0, 0))));
}

} // namespace

void applyPanelLook(QWidget* panel) {
    ensureTahoma();
    for (QCheckBox* box : panel->findChildren<QCheckBox*>()) {
        setCaption(box, GadgetBoxCaption);
        new PanelCheckBox(box);
    }
    for (const Caption& caption : PanelCaptions)
        setCaption(required<QWidget>(panel, caption.name), caption);
    new StartButton(required<QPushButton>(panel, "btnIniciarGadgets"));
    new FlatButton(required<QToolButton>(panel, "spbFechar"), Qt::AlignHCenter);
    new FlatButton(required<QToolButton>(panel, "spbConfigurações"), Qt::AlignRight);
    new Divider(required<QFrame>(panel, "lnDivisor"));
    clearListBackground(required<QScrollArea>(panel, "scbChecks"));
    new ListFocusFrame(required<QScrollArea>(panel, "scbChecks"));
    shapePanel(panel);
}
