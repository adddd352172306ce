#pragma once

// Photos with metadata for tests: pictures written through Qt, Exif and XMP added through
// exiv2, and what exiv2, exiftool and Qt read back from them.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <memory>

namespace photomaker {

// Writes a w x h picture (format from the suffix, or given) with a pattern that is not
// one flat colour, and, when withExif, a camera's worth of Exif and XMP (cameraExif()).
// Returns the path, or an empty text on failure.
QString makePhoto(const QString& dir, const QString& name, bool withExif = true, int w = 96, int h = 64,
    const char* format = nullptr);

// The fields makePhoto writes: Exif/XMP key -> value text.
QMap<QString, QString> cameraExif();

// Sets metadata by key ("Exif.*" or "Xmp.*"), each value parsed as the key's default type.
bool setMetadata(const QString& path, const QMap<QString, QString>& values);
// Sets a comment field ("Exif.Photo.UserComment" or "Exif.Image.XPComment") as this suite writes
// it: a comment value (8-byte character-set header) holding the UTF-8 text.
bool setComment(const QString& path, const char* key, const QByteArray& utf8);
// Sets "Exif.Image.XPComment" as other programs do: bare UTF-16LE bytes ending in a NUL.
bool setUtf16XpComment(const QString& path, const QString& text);

// A comment field's text as this suite writes it (8-byte header skipped), read with exiv2's API.
QByteArray readComment(const QString& path, const char* key);

// The tags document with the given content, as ExivTags writes it.
QByteArray tagsJson(int star, const QList<uint>& colors, const QStringList& texts);

// Runs a command-line tool; its standard output, exit code in *exitCode.
QByteArray runTool(const QString& program, const QStringList& args, int* exitCode = nullptr);
// The UserComment text as exiftool reads it.
QByteArray exiftoolUserComment(const QString& path);

// The decoded pixels (ARGB32), null when Qt cannot read the file.
QImage pixels(const QString& path);

// The version number an editor saved into "Exif.Image.ImageDescription" ("v12"); -1 when there is none.
int editedVersion(const QString& path);

// Another program that keeps saving new versions of photos while it lives: each file is read, given the next
// version number (editedVersion) and written beside, then renamed over the photo, round after round. Before each
// save it checks that the photo still holds the version it saved last: one that does not was undone by a writer
// that renamed an older copy over it.
class ConcurrentEditor {
public:
    explicit ConcurrentEditor(const QStringList& files);
    ~ConcurrentEditor();
    ConcurrentEditor(const ConcurrentEditor&) = delete;
    ConcurrentEditor& operator=(const ConcurrentEditor&) = delete;
    // Waits until at least count saves were made; false after timeoutMs.
    bool waitForSaves(int count, int timeoutMs = 10000) const;
    // Ends the saving (it finishes the save under way).
    void stop();
    int saves() const { return m_saves; }
    // The saves found undone, and after stop() the files not holding their last version.
    QStringList undone() const;

private:
    void run();
    QStringList m_files;
    QVector<int> m_last;
    QStringList m_undone;
    std::atomic_bool m_stop { false };
    std::atomic_int m_saves { 0 };
    std::unique_ptr<struct EditorJob> m_job;
};

} // namespace photomaker
