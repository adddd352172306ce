#pragma once

#include <QString>

// What the synchroniser may conclude about a photo on disk before it writes it (whether a file is gone is the
// shared library's isFileGone).
class FileCheck {
public:
    // Why the photo must not be written (read-only photo, read-only folder), or an empty text. Judged by the
    // mode bits, so that a user with more rights still leaves a photo marked read-only alone.
    static QString writeRefusal(const QString& path);
};
