#pragma once

#include <QString>

// What the synchroniser may conclude about a file on disk before it deletes a row or writes a photo.
class FileCheck {
public:
    // Gone only when the folder that should hold it can be read and it is not there: a folder that is missing
    // or cannot be read (a drive not mounted, a network folder that is down) says nothing about its files.
    static bool isGone(const QString& path);
    // Why the photo must not be written (read-only photo, read-only folder), or an empty text. Judged by the
    // mode bits, so that a user with more rights still leaves a photo marked read-only alone.
    static QString writeRefusal(const QString& path);
};
