#pragma once

#include "sys/vornkit_global.h"

#include <QString>

#include <string>

// Prepares exiv2 once per process, before any worker thread uses it. Returns 0.
VORNKIT_EXPORT int initExiv2();

// The date a photo was taken, as its Exif text ("2021:01:01 00:00:00"): the latest of
// Exif.Image.DateTimeOriginal, Exif.Photo.DateTimeOriginal and Exif.Photo.DateTimeDigitized,
// or an empty text.
VORNKIT_EXPORT QString getPhotoTakeTime(const QString& file);
VORNKIT_EXPORT std::string getPhotoTakeTime(const std::wstring& file);
