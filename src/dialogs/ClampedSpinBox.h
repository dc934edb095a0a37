#pragma once

#include <QSpinBox>

// A number field whose arrows stay inside a range while typing accepts a wider one: the
// dialogs clamp or check typed values themselves when they read them back.
class CClampedSpinBox : public QSpinBox {
    Q_OBJECT

public:
    explicit CClampedSpinBox(QWidget* parent = nullptr);

    void SetArrowRange(int minimum, int maximum);
    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;

private:
    int m_arrowMin = 1;
    int m_arrowMax = 99;
};
