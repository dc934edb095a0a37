#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

// Bumped by CancelPendingModalActions so that an action a test never used cannot act on a
// dialog of the next test.
inline int& ModalGeneration()
{
    static int generation = 0;
    return generation;
}

inline void CancelPendingModalActions()
{
    ++ModalGeneration();
}

// Runs `action` on the next modal window that opens on top of `below` (nullptr: any), so a
// test can fill in a dialog that the code under test shows with exec(). Gives up after
// about three seconds and closes whatever is modal, so a missing dialog fails the test
// instead of hanging it.
inline void OnNextModal(
    std::function<void(QWidget*)> action, QWidget* below = nullptr, int triesLeft = 300)
{
    const int generation = ModalGeneration();
    QTimer::singleShot(10, [action, below, triesLeft, generation] {
        if (generation != ModalGeneration())
            return;
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != below) {
            action(modal);
            return;
        }
        if (triesLeft > 0) {
            OnNextModal(action, below, triesLeft - 1);
            return;
        }
        ADD_FAILURE() << "no modal dialog appeared";
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    });
}

template <typename T> T* Child(QWidget* parent, const char* name)
{
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << "no child named " << name;
    return child;
}
