#include "dialogs/ClampedSpinBox.h"

#include <algorithm>
#include <climits>

CClampedSpinBox::CClampedSpinBox(QWidget* parent)
    : QSpinBox(parent)
{
    // Wide enough for any typed value; the readers decide what to make of it.
    setRange(-99999999, 999999999);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

void CClampedSpinBox::SetArrowRange(int minimum, int maximum)
{
    m_arrowMin = minimum;
    m_arrowMax = std::max(minimum, maximum);
}

void CClampedSpinBox::stepBy(int steps)
{
    const long long next = static_cast<long long>(value()) + steps;
    setValue(static_cast<int>(std::clamp<long long>(next, m_arrowMin, m_arrowMax)));
    selectAll();
}

QAbstractSpinBox::StepEnabled CClampedSpinBox::stepEnabled() const
{
    StepEnabled enabled = StepNone;
    if (value() < m_arrowMax)
        enabled |= StepUpEnabled;
    if (value() > m_arrowMin)
        enabled |= StepDownEnabled;
    return enabled;
}
