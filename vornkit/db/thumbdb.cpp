#include "db/thumbdb.h"

// One row per file through the table's REPLACE constraints (see tagdb.cpp).
static const char* const imagecacheSql
    = "CREATE TABLE [imagecache] ([path] NVARCHAR, [file] NVARCHAR, [thumbwidth] INT, [thumbheight] INT, "
      "[format] INT, [thumbnail] BLOB, "
      "PRIMARY KEY ([file] COLLATE [BINARY] ASC) ON CONFLICT REPLACE, "
      "UNIQUE ([file] COLLATE [BINARY] ASC) ON CONFLICT REPLACE);"
      "CREATE INDEX [index.imagecache.path] ON [imagecache] ([path] COLLATE [BINARY] ASC);"
      "CREATE INDEX [index.imagecache.file] ON [imagecache] ([file] COLLATE [BINARY] ASC);";

ThumbDb::ThumbDb() = default;

ThumbDb::~ThumbDb() = default;

bool ThumbDb::initTable()
{
    if (!tableExists("imagecache"))
        execMultiSql(QString::fromLatin1(imagecacheSql));
    return true;
}
