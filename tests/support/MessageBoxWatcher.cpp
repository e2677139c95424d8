#include "support/MessageBoxWatcher.h"

#include <QApplication>
#include <QMessageBox>

MessageBoxWatcher::MessageBoxWatcher()
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxWatcher::answer);
    m_timer.start();
}

void MessageBoxWatcher::answer()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    m_boxes.append({box->windowTitle(), box->text()});
    box->accept();
}

QStringList MessageBoxWatcher::texts() const
{
    QStringList texts;
    for (const Box& box : m_boxes)
        texts.append(box.text);
    return texts;
}
