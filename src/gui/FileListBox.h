#pragma once

#include <QListWidget>

// The files of one folder whose names match a mask, for looking only. It reads the folder
// when its window is first shown, and then only when its folder or its mask changes.
class FileListBox : public QListWidget
{
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);

    const QString& directory() const { return m_directory; }
    // Enters the folder (it becomes the working directory) and reads it when it differs.
    // Raises when the folder cannot be entered.
    void setDirectory(const QString& path);

    const QString& mask() const { return m_mask; }
    // A mask equal to the one in force, compared exactly, does not read the folder again.
    void setMask(const QString& mask);

    // Reads the folder now, if the window exists; raises when the folder cannot be entered.
    void read();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString m_directory;
    QString m_mask = QStringLiteral("*.err");
    bool m_shown = false;
};

// Enters a folder as the working directory and gives its normalised full path. A plain
// file of that name leads to the folder that holds it. Raises when it cannot be entered.
QString enterFolder(const QString& path);
