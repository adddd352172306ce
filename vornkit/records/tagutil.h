#pragma once

// Text and colour tag lists and their joined text: each entry followed by one blank.

#include "sys/vornkit_global.h"

#include <QList>
#include <QString>
#include <QStringList>

VORNKIT_EXPORT QString StringListToStr(const QStringList& tags);
VORNKIT_EXPORT QString RgbListToStr(const QList<uint>& rgbs);

// Turns "," "，" ";" "；" "、" "\r" "\n" "\t" into blanks.
VORNKIT_EXPORT QString& stdSplit(QString& s);
VORNKIT_EXPORT QString stdSplit1(QString s);

VORNKIT_EXPORT QStringList StrToStringList(const QString& text);
VORNKIT_EXPORT void StrToStringList(const QString& text, QStringList& out);
// A word that is not a number reads as 0.
VORNKIT_EXPORT QList<uint> StrToRgbList(const QString& text);
VORNKIT_EXPORT void StrToRgbList(const QString& text, QList<uint>& out);

// Tags as the joined text will read them back: each entry split at blanks and separators, empty parts dropped.
VORNKIT_EXPORT QStringList splitTextTags(const QStringList& tags);
VORNKIT_EXPORT void splitTextTags(const QStringList& tags, QStringList& out);

// Union keeps first-occurrence order and each element once; intersection keeps a's order and duplicates.
VORNKIT_EXPORT QStringList UnionTextTag(const QStringList& a, const QStringList& b);
VORNKIT_EXPORT void UnionTextTag(const QStringList& a, const QStringList& b, QStringList& out);
VORNKIT_EXPORT QList<uint> UnionRgb(const QList<uint>& a, const QList<uint>& b);
VORNKIT_EXPORT void UnionRgb(const QList<uint>& a, const QList<uint>& b, QList<uint>& out);
VORNKIT_EXPORT QStringList IntersectionTextTag(const QStringList& a, const QStringList& b);
VORNKIT_EXPORT void IntersectionTextTag(const QStringList& a, const QStringList& b, QStringList& out);
VORNKIT_EXPORT QList<uint> IntersectionRgb(const QList<uint>& a, const QList<uint>& b);
VORNKIT_EXPORT void IntersectionRgb(const QList<uint>& a, const QList<uint>& b, QList<uint>& out);
