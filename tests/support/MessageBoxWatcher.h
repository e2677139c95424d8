#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

// Answers every message box that opens while it lives, as a user pressing OK would,
// and keeps what each one said.
class MessageBoxWatcher : public QObject
{
    Q_OBJECT
public:
    struct Box
    {
        QString title;
        QString text;
    };

    MessageBoxWatcher();
    const QList<Box>& boxes() const { return m_boxes; }
    QStringList texts() const;

private:
    void answer();

    QTimer m_timer;
    QList<Box> m_boxes;
};
