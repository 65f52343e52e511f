#include "ui/Look.h"

#include "ui/Fonts.h"
#include "ui/Paint.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHoverEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>

#include <utility>

using namespace look;

namespace {

// Every focusable control glows while it has the focus, whatever gave it;
// the keyboard's focus adds a dotted mark in the caption's colour, around
// the text of a list or a button and around a radio button's caption. The
// fields show their cursor and need none.

// The drop-down lists: a light glossy plate that turns blue over 0.2 s under
// the pointer, two small triangles at the right, the item's text.
class DropDown : public PaintedControl {
public:
    explicit DropDown(QComboBox* box)
        : PaintedControl(box), m_box(box), m_hover(box, 0), m_focus(new FocusMark(box)) {
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
        const QColor colour = m_box->palette().color(QPalette::Text);
        painter.setPen(colour);
        painter.setFont(m_box->font());
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         m_box->fontMetrics().elidedText(m_box->currentText(), Qt::ElideRight, text.width()));
        m_focus->draw(painter, padded(3, 3, 3 + 14, 3), colour); // clear of the triangles
    }

private:
    QComboBox* m_box;
    Fade m_hover;
    FocusMark* m_focus;
};

// "Salvar" and "Cancelar": the drop-down's plate without triangles, turning
// dark grey over 0.2 s under the pointer, glowing inwards while pressed.
class DialogButton : public PaintedControl {
public:
    explicit DialogButton(QPushButton* button)
        : PaintedControl(button), m_button(button), m_hover(button, 0), m_focus(new FocusMark(button)) {
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
        const QColor caption = m_button->palette().color(QPalette::ButtonText);
        painter.setPen(caption);
        painter.setFont(m_button->font());
        painter.drawText(padded(5, 3, 5, 3), Qt::AlignCenter | Qt::TextSingleLine, m_button->text());
        m_focus->draw(painter, padded(3, 3, 3, 3), caption);
    }

private:
    QPushButton* m_button;
    Fade m_hover;
    FocusMark* m_focus;
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
        : PaintedControl(button), m_button(button), m_hover(button, 0), m_focus(new FocusMark(button)) {
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
        const QColor caption = m_button->palette().color(QPalette::WindowText);
        painter.setPen(caption);
        painter.setFont(m_button->font());
        const QRect text = padded(20 + 1, 2, 1, 0);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_button->text());
        const int width = m_button->fontMetrics().horizontalAdvance(m_button->text());
        m_focus->draw(painter, QRect(text.left() - 2, 0, width + 4, m_button->height()) & m_button->rect(),
                      caption);
    }

private:
    QRadioButton* m_button;
    Fade m_hover;
    FocusMark* m_focus;
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

// An unselected tab starts white, turns dark grey under the pointer and
// light grey once the pointer has left it, and stays so. The style book
// cannot know which tabs the pointer has left: the bar names them by their
// place ("first", "middle", "last", "only-one", as its selectors do) in its
// pointerLeft property.
class TabsLeftByThePointer : public QObject {
public:
    explicit TabsLeftByThePointer(QTabBar* bar) : QObject(bar), m_bar(bar) {
        bar->setAttribute(Qt::WA_Hover);
        bar->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_bar)
            return false;
        if (event->type() == QEvent::HoverMove || event->type() == QEvent::HoverEnter)
            pointerOver(m_bar->tabAt(static_cast<QHoverEvent*>(event)->position().toPoint()));
        else if (event->type() == QEvent::HoverLeave || event->type() == QEvent::Leave)
            pointerOver(-1);
        return false;
    }

private:
    void pointerOver(int tab) {
        const int left = std::exchange(m_over, tab);
        if (left == tab || left < 0 || left >= m_bar->count())
            return;
        const int count = m_bar->count();
        const QString place = count == 1          ? QStringLiteral("only-one")
                              : left == 0         ? QStringLiteral("first")
                              : left == count - 1 ? QStringLiteral("last")
                                                  : QStringLiteral("middle");
        QStringList places = m_bar->property("pointerLeft").toString().split(u' ', Qt::SkipEmptyParts);
        if (places.contains(place))
            return;
        places.append(place);
        m_bar->setProperty("pointerLeft", places.join(u' '));
        // A property selector is matched when the style polishes the widget.
        m_bar->style()->unpolish(m_bar);
        m_bar->style()->polish(m_bar);
        m_bar->update();
    }

    QTabBar* m_bar;
    int m_over = -1;
};

} // namespace

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
    for (QTabBar* bar : dialog->findChildren<QTabBar*>())
        new TabsLeftByThePointer(bar);
    for (QLineEdit* field : dialog->findChildren<QLineEdit*>()) {
        // A list's own editor is not a field of the dialog.
        if (!qobject_cast<QComboBox*>(field->parentWidget()))
            new FocusGlow(field, FieldGlow, 0.9);
    }
}
