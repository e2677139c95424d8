#pragma once

#include <QFile>
#include <QString>

namespace kavrin::text {

// Writes a file so that its name only ever shows a whole file: the bytes go to a hidden
// temporary file in the target's folder (".<name>.<random>.part"), which commit() writes
// through to the disk and then puts in the target's place in one step. Without a
// successful commit the temporary file is removed and the target stays as it was.
class ReplacingFile
{
public:
    explicit ReplacingFile(const QString& targetPath);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file, never reusing an existing one. False when the folder
    // does not take it, or when already open or committed.
    bool open();
    QIODevice& device() { return m_file; }

    // False, with the temporary file removed and the target untouched, when a write
    // failed, the data could not be written through, or the target could not be replaced.
    bool commit();
    void discard();

    QString temporaryPath() const { return m_file.fileName(); } // empty until open()
    QString errorString() const { return m_error; }

private:
    QString m_target;
    QFile m_file;
    QString m_error;
    bool m_committed = false;
};

} // namespace kavrin::text
