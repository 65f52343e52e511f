#pragma once

// The painting kit of the look code: fades that move a value over a time
// and repaint their control, the focus glow, the keyboard's focus mark, the
// base of the controls the look code draws itself, and the gloss they share.

#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QFocusEvent>
#include <QGraphicsEffect>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

#include <algorithm>

namespace look {
// State changes of the painted controls, in milliseconds.
inline constexpr int TickFadeIn = 100;
inline constexpr int RadioHover = 100;
inline constexpr int HoverFade = 200;
inline constexpr int PressFade = 200;

// Controls drawn while disabled: faded, as the style book's controls are.
inline constexpr qreal DisabledOpacity = 0.6;

inline const QColor GlossBorder(0x4F, 0x4F, 0x4F, 0xC8);
inline const QColor PlateGlossBorder(0x4F, 0x4F, 0x4F, 0x48);
inline const QColor InnerHighlight(0xFC, 0xFC, 0xFC, 0x96);
inline const QColor FieldGlow(0x00, 0x5A, 0xCC, 0x82);
inline const QColor DimGrey(0x69, 0x69, 0x69);

inline QColor mix(const QColor& from, const QColor& to, qreal t) {
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

// The desktop's focus rectangle: every other pixel of the outline, in one
// checkerboard so that the corners meet.
inline void drawFocusDots(QPainter& painter, const QRect& rect, const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const auto dot = [&](int x, int y) {
        if ((x - rect.left() + y - rect.top()) % 2 == 0)
            painter.fillRect(x, y, 1, 1, colour);
    };
    for (int x = rect.left(); x <= rect.right(); ++x) {
        dot(x, rect.top());
        dot(x, rect.bottom());
    }
    for (int y = rect.top() + 1; y < rect.bottom(); ++y) {
        dot(rect.left(), y);
        dot(rect.right(), y);
    }
    painter.restore();
}

// Whether a control shows the dotted focus mark: only while it has a focus
// the keyboard gave it. A click gives the focus without a mark, as on the
// desktop; a key pressed in the control then shows it (the user has turned
// to the keyboard: Space ticks a clicked box, and the mark says which).
class FocusMark : public QObject {
public:
    // canvas: the widget that draws the mark, when not the control itself.
    explicit FocusMark(QWidget* control, QWidget* canvas = nullptr);
    ~FocusMark() override { marks().remove(m_control); }

    bool shown() const { return m_fromKeyboard && m_control->hasFocus(); }
    void draw(QPainter& painter, const QRect& rect, const QColor& colour) const {
        if (shown())
            drawFocusDots(painter, rect, colour);
    }

    static FocusMark* of(const QWidget* control) { return marks().value(control); }
    void keyPressed() {
        if (!m_fromKeyboard) {
            m_fromKeyboard = true;
            m_canvas->update();
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static QHash<const QWidget*, FocusMark*>& marks() {
        static QHash<const QWidget*, FocusMark*> all;
        return all;
    }

    QWidget* m_control;
    QWidget* m_canvas;
    bool m_fromKeyboard = false;
};

// The program's latest press, a key's or a mouse button's. It is watched on
// the whole application because a focus that a key handler moves (Enter
// walking the fields, an arrow from button to button) comes with no
// keyboard reason, and a key that a window's own handler takes (Enter on a
// gadget box) never reaches the control's filters.
class PressWatch : public QObject {
public:
    static void start() { instance(); }
    static bool latestWasKey() {
        const PressWatch* watch = instance();
        return watch && watch->m_key;
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
            m_key = true;
            if (const QWidget* focus = QApplication::focusWidget())
                if (FocusMark* mark = FocusMark::of(focus))
                    mark->keyPressed();
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::TouchBegin:
            m_key = false;
            break;
        default:
            break;
        }
        return false;
    }

private:
    using QObject::QObject;
    static PressWatch* instance() {
        static QPointer<PressWatch> watch;
        if (!watch && QCoreApplication::instance()) {
            watch = new PressWatch(QCoreApplication::instance());
            QCoreApplication::instance()->installEventFilter(watch);
        }
        return watch;
    }

    bool m_key = false;
};

inline FocusMark::FocusMark(QWidget* control, QWidget* canvas)
    : QObject(control), m_control(control), m_canvas(canvas ? canvas : control) {
    marks().insert(control, this);
    control->installEventFilter(this);
    PressWatch::start();
}

inline bool FocusMark::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_control)
        return false;
    if (event->type() == QEvent::FocusIn) {
        switch (static_cast<QFocusEvent*>(event)->reason()) {
        case Qt::TabFocusReason:
        case Qt::BacktabFocusReason:
        case Qt::ShortcutFocusReason:
        case Qt::MenuBarFocusReason:
            m_fromKeyboard = true;
            break;
        case Qt::MouseFocusReason:
            m_fromKeyboard = false;
            break;
        case Qt::ActiveWindowFocusReason:
        case Qt::PopupFocusReason:
            break; // the focus comes back as it left
        default:
            m_fromKeyboard = PressWatch::latestWasKey(); // moved by the program
            break;
        }
        m_canvas->update();
    } else if (event->type() == QEvent::FocusOut) {
        m_canvas->update();
    }
    return false;
}

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
inline void drawGloss(QPainter& painter, const QRectF& rect, qreal radius, const QColor& border) {
    QLinearGradient gloss(rect.topLeft(), rect.bottomLeft());
    gloss.setColorAt(0, QColor(0xF4, 0xF4, 0xF4, 0x24));
    gloss.setColorAt(0.499, QColor(0xEA, 0xEA, 0xEA, 0x24));
    gloss.setColorAt(0.5, QColor(0x86, 0x86, 0x86, 0x4E));
    gloss.setColorAt(1, QColor(0x86, 0x86, 0x86, 0x4E));
    painter.setPen(QPen(border, 1));
    painter.setBrush(gloss);
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

inline void drawInnerHighlight(QPainter& painter, const QRectF& rect) {
    painter.setPen(QPen(InnerHighlight, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(1.5, 1.5, -1.5, -1.5), 2, 2);
}

} // namespace look
