// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/shownvalue.h"

#include <QAccessibleWidget>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace {

const char quantitiesProperty[] = "shownQuantities";

// A slider read as the quantities its positions stand for, or as its
// positions when it has none. A screen reader speaks the accessible value
// when the slider moves, and its description (the shown text) when it takes
// the focus. It reads the quantities as it is asked, so that a slider whose
// interface was made before it had them is read by them all the same.
class AccessibleShownSlider : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit AccessibleShownSlider(QSlider *slider)
        : QAccessibleWidget(slider, QAccessible::Slider)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value) {
            const QString shown = slider()->accessibleDescription();
            return shown.isEmpty() ? QString::number(currentValue().toDouble()) : shown;
        }
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return quantityAt(slider()->value()); }
    QVariant maximumValue() const override
    {
        const QList<double> all = quantities();
        return all.isEmpty() ? double(slider()->maximum())
                             : *std::max_element(all.begin(), all.end());
    }
    QVariant minimumValue() const override
    {
        const QList<double> all = quantities();
        return all.isEmpty() ? double(slider()->minimum())
                             : *std::min_element(all.begin(), all.end());
    }
    QVariant minimumStepSize() const override
    {
        const QList<double> all = quantities();
        if (all.isEmpty())
            return double(slider()->singleStep());
        double step = 0;
        for (qsizetype i = 1; i < all.size(); ++i) {
            const double gap = std::abs(all[i] - all[i - 1]);
            if (gap > 0 && (step == 0 || gap < step))
                step = gap;
        }
        return step;
    }
    // An assistive technology that sets a quantity moves the slider to the
    // position whose quantity is nearest.
    void setCurrentValue(const QVariant &value) override
    {
        const QList<double> all = quantities();
        if (all.isEmpty()) {
            slider()->setValue(value.toInt());
            return;
        }
        const double wanted = value.toDouble();
        qsizetype nearest = 0;
        for (qsizetype i = 1; i < all.size(); ++i) {
            if (std::abs(all[i] - wanted) < std::abs(all[nearest] - wanted))
                nearest = i;
        }
        slider()->setValue(slider()->minimum() + int(nearest));
    }

private:
    QSlider *slider() const { return static_cast<QSlider *>(object()); }
    QList<double> quantities() const
    {
        return slider()->property(quantitiesProperty).value<QList<double>>();
    }
    double quantityAt(int position) const
    {
        const QList<double> all = quantities();
        const qsizetype index = position - slider()->minimum();
        return index >= 0 && index < all.size() ? all[index] : double(position);
    }
};

QAccessibleInterface *accessibleShownSlider(const QString &className, QObject *object)
{
    if (className == QLatin1String("QSlider") && object && object->isWidgetType())
        return new AccessibleShownSlider(static_cast<QSlider *>(object));
    return nullptr;
}

} // namespace

void setShownQuantities(QSlider *slider, const QList<double> &quantities)
{
    static const bool factoryInstalled =
        (QAccessible::installFactory(accessibleShownSlider), true);
    Q_UNUSED(factoryInstalled);
    slider->setProperty(quantitiesProperty, QVariant::fromValue(quantities));
}
