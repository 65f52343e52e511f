#include "ui/Look.h"

#include "ui/Compositor.h"
#include "ui/Fonts.h"
#include "ui/ImageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGraphicsEffect>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QRegion>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <QVariantAnimation>

#include <algorithm>
#include <vector>

namespace {

// State changes of the painted controls, in milliseconds.
constexpr int TickFadeIn = 100;
constexpr int RadioHover = 100;
constexpr int HoverFade = 200;
constexpr int PressFade = 200;

// Controls drawn while disabled: faded, as the style book's controls are.
constexpr qreal DisabledOpacity = 0.6;

const QColor GlossBorder(0x4F, 0x4F, 0x4F, 0xC8);
const QColor PlateGlossBorder(0x4F, 0x4F, 0x4F, 0x48);
const QColor InnerHighlight(0xFC, 0xFC, 0xFC, 0x96);
const QColor FieldGlow(0x00, 0x5A, 0xCC, 0x82);
const QColor DimGrey(0x69, 0x69, 0x69);

QColor mix(const QColor& from, const QColor& to, qreal t) {
    const auto lerp = [t](int a, int b) { return qRound(a + (b - a) * t); };
    return QColor(lerp(from.red(), to.red()), lerp(from.green(), to.green()), lerp(from.blue(), to.blue()),
                  lerp(from.alpha(), to.alpha()));
}

// A number that moves to a target over a time, repainting its control as it goes.
class Fade : public QObject {
public:
    Fade(QWidget* control, qreal initial) : QObject(control), m_control(control), m_value(initial) {
        connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            m_value = value.toReal();
            m_control->update();
        });
    }
    qreal value() const { return m_value; }
    // A whole change takes ms; a part of one the same part of it.
    void to(qreal target, int ms) {
        m_animation.stop();
        const int duration = qRound(ms * qAbs(target - m_value));
        if (duration <= 0) {
            m_value = target;
            m_control->update();
            return;
        }
        m_animation.setStartValue(m_value);
        m_animation.setEndValue(target);
        m_animation.setDuration(duration);
        m_animation.start();
    }

private:
    QWidget* m_control;
    qreal m_value;
    QVariantAnimation m_animation;
};

// A colour that is set at once or runs from one colour to another.
class ColourFade : public QObject {
public:
    ColourFade(QWidget* control, const QColor& initial)
        : QObject(control), m_control(control), m_colour(initial) {
        connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            m_colour = value.value<QColor>();
            m_control->update();
        });
    }
    QColor colour() const { return m_colour; }
    void set(const QColor& colour) {
        m_animation.stop();
        m_colour = colour;
        m_control->update();
    }
    void run(const QColor& from, const QColor& to, int ms) {
        m_animation.stop();
        m_animation.setStartValue(from);
        m_animation.setEndValue(to);
        m_animation.setDuration(ms);
        m_animation.start();
    }

private:
    QWidget* m_control;
    QColor m_colour;
    QVariantAnimation m_animation;
};

// A soft halo in one colour around what a control draws, strongest at its
// edge and gone a few pixels out.
class GlowEffect : public QGraphicsEffect {
public:
    GlowEffect(const QColor& colour, QObject* parent) : QGraphicsEffect(parent), m_colour(colour) {}

    QRectF boundingRectFor(const QRectF& rect) const override {
        return rect.adjusted(-Spread, -Spread, Spread, Spread);
    }

protected:
    void draw(QPainter* painter) override {
        QPoint offset;
        const QPixmap source = sourcePixmap(Qt::DeviceCoordinates, &offset, PadToEffectiveBoundingRect);
        if (source.isNull())
            return;
        QImage halo = haloOf(source.toImage());
        halo.setDevicePixelRatio(source.devicePixelRatio());
        const QTransform transform = painter->worldTransform();
        painter->setWorldTransform(QTransform());
        painter->drawImage(offset, halo);
        painter->drawPixmap(offset, source);
        painter->setWorldTransform(transform);
    }

private:
    static constexpr int Spread = 5;
    static constexpr int Radius = 2; // of each of two box blurs

    // The source's alpha, blurred, then strengthened so that the halo is
    // the full colour where the control's edge is.
    QImage haloOf(const QImage& source) const {
        const int w = source.width(), h = source.height();
        const QImage argb = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        std::vector<float> alpha(std::size_t(w) * h), scratch(alpha.size());
        for (int y = 0; y < h; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            for (int x = 0; x < w; ++x)
                alpha[std::size_t(y) * w + x] = qAlpha(line[x]) / 255.0f;
        }
        const auto blur = [&](int length, int count, int step, int stride) {
            for (int line = 0; line < count; ++line) {
                float* in = alpha.data() + std::size_t(line) * stride;
                float* out = scratch.data() + std::size_t(line) * stride;
                for (int i = 0; i < length; ++i) {
                    float sum = 0;
                    for (int k = -Radius; k <= Radius; ++k)
                        if (i + k >= 0 && i + k < length)
                            sum += in[(i + k) * step];
                    out[i * step] = sum / (2 * Radius + 1);
                }
            }
            alpha.swap(scratch);
        };
        for (int pass = 0; pass < 2; ++pass) {
            blur(w, h, 1, w); // along each row
            blur(h, w, w, 1); // along each column
        }
        QImage halo(w, h, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(halo.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const float a =
                    std::min(1.0f, alpha[std::size_t(y) * w + x] * 2.0f) * float(m_colour.alphaF());
                line[x] = qRgba(qRound(m_colour.red() * a), qRound(m_colour.green() * a),
                                qRound(m_colour.blue() * a), qRound(255 * a));
            }
        }
        return halo;
    }

    QColor m_colour;
};

// The halo around a control while it has the focus.
class FocusGlow : public QObject {
public:
    FocusGlow(QWidget* control, QColor colour, qreal opacity) : QObject(control) {
        colour.setAlphaF(colour.alphaF() * opacity);
        m_effect = new GlowEffect(colour, control);
        m_effect->setEnabled(control->hasFocus());
        control->setGraphicsEffect(m_effect);
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusIn)
            m_effect->setEnabled(true);
        else if (event->type() == QEvent::FocusOut)
            m_effect->setEnabled(false);
        return false;
    }

private:
    GlowEffect* m_effect;
};

// A control drawn by the look code: it paints the control in place of the
// style and follows the pointer entering and leaving it.
class PaintedControl : public QObject {
public:
    explicit PaintedControl(QWidget* control) : QObject(control), m_control(control) {
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_control)
            return false;
        switch (event->type()) {
        case QEvent::Paint: {
            QPainter painter(m_control);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            paint(painter);
            return true;
        }
        case QEvent::Enter:
            pointerOver(true);
            break;
        case QEvent::Leave:
            pointerOver(false);
            break;
        case QEvent::EnabledChange:
            m_control->update();
            break;
        default:
            break;
        }
        return false;
    }
    virtual void paint(QPainter& painter) = 0;
    virtual void pointerOver(bool) {}

    // The control's rectangle less a padding (left, top, right, bottom).
    QRect padded(int left, int top, int right, int bottom) const {
        return m_control->rect().adjusted(left, top, -right, -bottom);
    }
    void fadeWhenDisabled(QPainter& painter) const {
        if (!m_control->isEnabled())
            painter.setOpacity(DisabledOpacity);
    }

    QWidget* m_control;
};

// The translucent gloss of the dialog's tabs, lists and buttons: a light
// upper half and a darker lower half, with a border of its own.
void drawGloss(QPainter& painter, const QRectF& rect, qreal radius, const QColor& border) {
    QLinearGradient gloss(rect.topLeft(), rect.bottomLeft());
    gloss.setColorAt(0, QColor(0xF4, 0xF4, 0xF4, 0x24));
    gloss.setColorAt(0.499, QColor(0xEA, 0xEA, 0xEA, 0x24));
    gloss.setColorAt(0.5, QColor(0x86, 0x86, 0x86, 0x4E));
    gloss.setColorAt(1, QColor(0x86, 0x86, 0x86, 0x4E));
    painter.setPen(QPen(border, 1));
    painter.setBrush(gloss);
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

void drawInnerHighlight(QPainter& painter, const QRectF& rect) {
    painter.setPen(QPen(InnerHighlight, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(1.5, 1.5, -1.5, -1.5), 2, 2);
}

// ------------------------------------------------------------------ panel

// A gadget box or "Todos": a 15 x 15 box with a grey gradient in a 20-pixel
// column, the tick fading in over 0.1 s when checked and gone at once when
// cleared, the caption beside it.
// Focus shows nothing.
class PanelCheckBox : public PaintedControl {
public:
    explicit PanelCheckBox(QCheckBox* box) : PaintedControl(box), m_box(box), m_tick(box, box->isChecked()) {
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

        painter.setPen(m_box->palette().color(QPalette::WindowText));
        painter.setFont(m_box->font());
        painter.drawText(padded(20 + 1, 2, 1, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         m_box->text());
    }

private:
    QCheckBox* m_box;
    Fade m_tick;
};

// "Iniciar Gadgets": a vertical gradient whose top stop follows the
// pointer at once and the press over 0.2 s; the caption stays white.
class StartButton : public PaintedControl {
public:
    explicit StartButton(QPushButton* button)
        : PaintedControl(button), m_button(button), m_top(button, LookColour::StartTop) {
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
        painter.setPen(m_button->palette().color(QPalette::ButtonText));
        painter.setFont(m_button->font());
        painter.drawText(padded(5, 2, 5, 2), Qt::AlignCenter | Qt::TextSingleLine, m_button->text());
    }

private:
    QPushButton* m_button;
    ColourFade m_top;
};

// The two flat buttons, "X" and "Configurações": the caption alone on the
// card, a silver plate under it while the pointer is over the button,
// pressed or not, at once. The settings caption keeps to the right edge to
// leave the gear room.
class FlatButton : public PaintedControl {
public:
    FlatButton(QToolButton* button, Qt::Alignment alignment)
        : PaintedControl(button), m_button(button), m_alignment(alignment) {}

protected:
    void pointerOver(bool) override { m_button->update(); }

    void paint(QPainter& painter) override {
        if (m_button->underMouse()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(LookColour::FlatHover);
            painter.drawRoundedRect(QRectF(m_button->rect()), 3, 3);
        }
        painter.setPen(m_button->palette().color(QPalette::ButtonText));
        painter.setFont(m_button->font());
        painter.drawText(padded(5, 2, 5, 2), int(m_alignment) | Qt::AlignVCenter | Qt::TextSingleLine,
                         m_button->text());
    }

private:
    QToolButton* m_button;
    Qt::Alignment m_alignment;
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

// ----------------------------------------------------------------- dialog

// The drop-down lists: a light glossy plate that turns blue over 0.2 s under
// the pointer, two small triangles at the right, the item's text.
class DropDown : public PaintedControl {
public:
    explicit DropDown(QComboBox* box) : PaintedControl(box), m_box(box), m_hover(box, 0) {
        connect(box, &QComboBox::currentIndexChanged, box, qOverload<>(&QWidget::update));
        new FocusGlow(box, FieldGlow, 0.9);
    }

protected:
    void pointerOver(bool over) override { m_hover.to(over ? 1 : 0, HoverFade); }

    void paint(QPainter& painter) override {
        fadeWhenDisabled(painter);
        const QRectF rect = m_box->rect();
        const qreal hover = m_box->isEnabled() ? m_hover.value() : 0;
        painter.setPen(Qt::NoPen);
        painter.setBrush(mix(LookColour::ListBase, LookColour::ListHover, hover));
        painter.drawRoundedRect(rect, 3, 3);
        drawGloss(painter, rect, 3, GlossBorder);
        drawInnerHighlight(painter, rect);

        const qreal x = rect.right() - 9.5;
        const qreal y = rect.center().y();
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x04, 0x04, 0x04));
        painter.drawPolygon(QPolygonF({{x - 3.5, y - 1}, {x + 3.5, y - 1}, {x, y - 5}}));
        painter.setBrush(Qt::black);
        painter.drawPolygon(QPolygonF({{x - 3.5, y + 1}, {x + 3.5, y + 1}, {x, y + 5}}));

        const QRect text = padded(5, 3, 5 + 14, 3);
        painter.setPen(m_box->palette().color(QPalette::Text));
        painter.setFont(m_box->font());
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         m_box->fontMetrics().elidedText(m_box->currentText(), Qt::ElideRight, text.width()));
    }

private:
    QComboBox* m_box;
    Fade m_hover;
};

// "Salvar" and "Cancelar": the drop-down's plate without triangles, turning
// dark grey over 0.2 s under the pointer, glowing inwards while pressed.
class DialogButton : public PaintedControl {
public:
    explicit DialogButton(QPushButton* button)
        : PaintedControl(button), m_button(button), m_hover(button, 0) {
        connect(button, &QPushButton::pressed, button, qOverload<>(&QWidget::update));
        connect(button, &QPushButton::released, button, qOverload<>(&QWidget::update));
        new FocusGlow(button, DimGrey, 0.9);
    }

protected:
    void pointerOver(bool over) override { m_hover.to(over ? 1 : 0, HoverFade); }

    void paint(QPainter& painter) override {
        fadeWhenDisabled(painter);
        const QRectF rect = m_button->rect();
        painter.setPen(Qt::NoPen);
        painter.setBrush(mix(LookColour::ListBase, LookColour::ButtonHover, m_hover.value()));
        painter.drawRoundedRect(rect, 3, 3);
        drawGloss(painter, rect, 3, GlossBorder);
        drawInnerHighlight(painter, rect);
        if (m_button->isDown()) {
            // An inner glow: rings that fade towards the middle.
            const qreal strength[] = {0.55, 0.32, 0.16, 0.06};
            painter.setBrush(Qt::NoBrush);
            for (int ring = 0; ring < 4; ++ring) {
                QColor colour(0x4F, 0x48, 0x48);
                colour.setAlphaF(0.9 * strength[ring]);
                painter.setPen(QPen(colour, 1));
                const qreal in = 1.5 + ring;
                painter.drawRoundedRect(rect.adjusted(in, in, -in, -in), 2, 2);
            }
        }
        painter.setPen(m_button->palette().color(QPalette::ButtonText));
        painter.setFont(m_button->font());
        painter.drawText(padded(5, 3, 5, 3), Qt::AlignCenter | Qt::TextSingleLine, m_button->text());
    }

private:
    QPushButton* m_button;
    Fade m_hover;
};

// The "..." pickers: nothing at rest; under the pointer a dim grey glossy
// plate fades in over 0.2 s, and out again when the pointer leaves.
class PickerButton : public PaintedControl {
public:
    explicit PickerButton(QToolButton* button)
        : PaintedControl(button), m_button(button), m_plate(button, 0) {}

protected:
    void pointerOver(bool over) override { m_plate.to(over && m_button->isEnabled() ? 1 : 0, HoverFade); }

    void paint(QPainter& painter) override {
        fadeWhenDisabled(painter);
        const qreal base = painter.opacity();
        const qreal plate = m_button->isEnabled() ? m_plate.value() : 0;
        if (plate > 0) {
            const QRectF rect = m_button->rect();
            painter.setOpacity(base * plate);
            painter.setPen(Qt::NoPen);
            painter.setBrush(DimGrey);
            painter.drawRoundedRect(rect, 2, 2);
            drawGloss(painter, rect, 2, PlateGlossBorder);
            drawInnerHighlight(painter, rect);
            painter.setOpacity(base);
        }
        painter.setPen(m_button->palette().color(QPalette::ButtonText));
        painter.setFont(m_button->font());
        painter.drawText(padded(6, 2, 6, 2), Qt::AlignCenter | Qt::TextSingleLine, m_button->text());
    }

private:
    QToolButton* m_button;
    Fade m_plate;
};

// "Local" and "Remota": a 13 x 13 circle in a 20-pixel column that turns
// blue under the pointer (0.1 s), a dim grey dot when checked, a dim grey
// halo when focused, the caption beside it.
class RadioButton : public PaintedControl {
public:
    explicit RadioButton(QRadioButton* button)
        : PaintedControl(button), m_button(button), m_hover(button, 0) {
        connect(button, &QRadioButton::toggled, button, qOverload<>(&QWidget::update));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_control && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
            m_control->update();
        return PaintedControl::eventFilter(watched, event);
    }
    void pointerOver(bool over) override { m_hover.to(over && m_button->isEnabled() ? 1 : 0, RadioHover); }

    void paint(QPainter& painter) override {
        fadeWhenDisabled(painter);
        const QRectF circle(3.5, (m_button->height() - 13) / 2.0, 13, 13);
        if (m_button->hasFocus()) {
            painter.setBrush(Qt::NoBrush);
            for (int ring = 1; ring <= 3; ++ring) {
                QColor halo = DimGrey;
                halo.setAlphaF(0.9 * (0.5 - ring * 0.13));
                painter.setPen(QPen(halo, 1.2));
                painter.drawEllipse(circle.adjusted(-ring + 0.5, -ring + 0.5, ring - 0.5, ring - 0.5));
            }
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(mix(LookColour::ListBase, LookColour::ListHover, m_hover.value()));
        painter.drawEllipse(circle);
        QLinearGradient shade(circle.topLeft(), circle.bottomLeft());
        shade.setColorAt(0, QColor(0xA7, 0xA7, 0xA7, 0x5F));
        shade.setColorAt(1, QColor(0xFF, 0xFF, 0xFF, 0x5F));
        painter.setPen(QPen(QColor(0x40, 0x40, 0x40, 0x90), 1));
        painter.setBrush(shade);
        painter.drawEllipse(circle.adjusted(0.5, 0.5, -0.5, -0.5));
        if (m_button->isChecked()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(DimGrey);
            painter.drawEllipse(circle.adjusted(3, 3, -3, -3));
        }
        painter.setPen(m_button->palette().color(QPalette::WindowText));
        painter.setFont(m_button->font());
        painter.drawText(padded(20 + 1, 2, 1, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         m_button->text());
    }

private:
    QRadioButton* m_button;
    Fade m_hover;
};

// The connection group: a rounded dim grey border inset 2, 8, 2, 2, broken
// where the caption sits across its top edge, 15 pixels from its left.
class GroupFrame : public PaintedControl {
public:
    explicit GroupFrame(QGroupBox* group) : PaintedControl(group), m_group(group) {}

protected:
    void paint(QPainter& painter) override {
        const QRectF frame = QRectF(m_group->rect()).adjusted(2, 8, -2, -2);
        const QFontMetrics metrics(m_group->font());
        const QRect caption(int(frame.left()) + 15, 0, metrics.horizontalAdvance(m_group->title()) + 2,
                            metrics.height() + 2);
        painter.save();
        painter.setClipRegion(QRegion(m_group->rect()) - QRegion(caption));
        painter.setPen(QPen(DimGrey, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(frame.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        painter.restore();
        painter.setPen(m_group->palette().color(QPalette::WindowText));
        painter.setFont(m_group->font());
        painter.drawText(caption.adjusted(1, 2, -1, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         m_group->title());
    }

private:
    QGroupBox* m_group;
};

// The dialog's captions are in the interface font; where Segoe UI is
// missing, a packaged sans-serif of similar width stands in for it.
void ensureInterfaceFont() {
    static bool done = false;
    if (done)
        return;
    done = true;
    const QString family = QStringLiteral("Segoe UI");
    if (QFontDatabase::families().contains(family))
        return;
    QFont::insertSubstitutions(
        family, {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans")});
}

// The panel's outline from its background artwork, where the window system
// cannot show the artwork's alpha.
void shapePanel(QWidget* panel) {
    auto* artwork = panel->findChild<ImageBox*>(QStringLiteral("imgPainel"));
    if (!artwork || artwork->picture().isNull() || windowSystemBlendsAlpha()) {
        panel->clearMask();
        return;
    }
    panel->setMask(
        opaqueRegion(artwork->picture().toImage()).translated(artwork->mapTo(panel, QPoint(0, 0))));
}

} // namespace

bool windowSystemBlendsAlpha() {
    const QString platform = QGuiApplication::platformName();
    if (platform == u"xcb")
        return x11CompositorRunning();
    // Framebuffer and remote-screen platforms show no alpha; Wayland, Windows
    // and macOS always composite, and offscreen keeps the alpha in memory.
    static const QStringList plain = {QStringLiteral("minimal"), QStringLiteral("linuxfb"),
                                      QStringLiteral("vnc"), QStringLiteral("eglfs"),
                                      QStringLiteral("vkkhrdisplay")};
    return !plain.contains(platform);
}

QRegion opaqueRegion(const QImage& source, int threshold) {
    // Premultiplying keeps the alpha as it is: such pictures need no conversion.
    const QImage image = source.format() == QImage::Format_ARGB32_Premultiplied
                             ? source
                             : source.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    std::vector<QRect> runs;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width;) {
            while (x < width && qAlpha(line[x]) < threshold)
                ++x;
            const int start = x;
            while (x < width && qAlpha(line[x]) >= threshold)
                ++x;
            if (x > start)
                runs.emplace_back(start, y, x - start, 1);
        }
    }
    QRegion region;
    region.setRects(runs.data(), int(runs.size()));
    return region;
}

void applyPanelLook(QWidget* panel) {
    ensureTahoma();
    for (QCheckBox* box : panel->findChildren<QCheckBox*>()) {
        setCaption(box, GadgetBoxCaption);
        new PanelCheckBox(box);
    }
    for (const Caption& caption : PanelCaptions) {
        if (auto* control = panel->findChild<QWidget*>(QString::fromUtf8(caption.name)))
            setCaption(control, caption);
    }
    if (auto* start = panel->findChild<QPushButton*>(QStringLiteral("btnIniciarGadgets")))
        new StartButton(start);
    if (auto* close = panel->findChild<QToolButton*>(QStringLiteral("spbFechar")))
        new FlatButton(close, Qt::AlignHCenter);
    if (auto* settings = panel->findChild<QToolButton*>(QStringLiteral("spbConfigurações")))
        new FlatButton(settings, Qt::AlignRight);
    if (auto* divider = panel->findChild<QFrame*>(QStringLiteral("lnDivisor")))
        new Divider(divider);
    if (auto* list = panel->findChild<QScrollArea*>(QStringLiteral("scbChecks")))
        clearListBackground(list);
    shapePanel(panel);
    // The desktop entry the window belongs to, for its icon and name in task bars.
    QGuiApplication::setDesktopFileName(QStringLiteral("orvanto"));
}

void applyDialogLook(QWidget* dialog) {
    ensureInterfaceFont();
    for (QComboBox* box : dialog->findChildren<QComboBox*>())
        new DropDown(box);
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        new DialogButton(button);
    for (QToolButton* button : dialog->findChildren<QToolButton*>()) {
        // The tab bar's own scroll arrows are tool buttons too.
        if (button->objectName().startsWith(u"spb"))
            new PickerButton(button);
    }
    for (QRadioButton* button : dialog->findChildren<QRadioButton*>())
        new RadioButton(button);
    for (QGroupBox* group : dialog->findChildren<QGroupBox*>())
        new GroupFrame(group);
    for (QLineEdit* field : dialog->findChildren<QLineEdit*>()) {
        // A list's own editor is not a field of the dialog.
        if (!qobject_cast<QComboBox*>(field->parentWidget()))
            new FocusGlow(field, FieldGlow, 0.9);
    }
}
