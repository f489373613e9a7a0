#pragma once

// Answering the modal message boxes that code under test opens with exec():
// the test's own code is stuck below that nested event loop, so a timer
// running inside it does the answering.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <memory>

// Once the next message box is open (within 5 s), runs onOpen with it and
// then clicks the button with this text (mnemonics aside), or rejects the
// box when it has no such button.
inline void answerNextMessageBox(const QString &buttonText, std::function<void(QMessageBox *)> onOpen = {})
{
    auto *timer = new QTimer(qApp);
    timer->setInterval(10);
    auto attempts = std::make_shared<int>(500);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        QMessageBox *box = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *open = qobject_cast<QMessageBox *>(w); !box && open && open->isVisible())
                box = open;
        }
        if (!box) {
            if (--*attempts <= 0)
                timer->deleteLater();
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (onOpen)
            onOpen(box);
        for (QAbstractButton *button : box->buttons()) {
            if (button->text().remove(u'&') == buttonText) {
                button->click();
                return;
            }
        }
        box->reject();
    });
    timer->start();
}
