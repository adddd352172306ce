#include "db/tagdb.h"

// File paths compare exactly (Linux names are case-sensitive); names users type keep NOCASE.
// The file index is not itself UNIQUE: the table's own REPLACE constraints keep one row per file,
// and a separate unique index would make every re-insert of a file fail instead of replacing it.
static const char* const histagSql = "CREATE TABLE [histag] ([name] NVARCHAR, "
                                     "UNIQUE ([name] COLLATE [NOCASE] ASC) ON CONFLICT REPLACE);"
                                     "CREATE INDEX [histag.index.name] ON [histag] ([name] COLLATE [NOCASE] ASC);";

static const char* const filetagSql
    = "CREATE TABLE [filetag] ([path] NVARCHAR, [file] NVARCHAR, [filesize] INT64, [createtime] DATETIME, "
      "[modifytime] DATETIME, [imagewidth] INT, [imageheight] INT, [star] INT, [tag] NVARCHAR, [color] NVARCHAR, "
      "[hintstar] INT, [hinttag] NVARCHAR, [hintcolor] NVARCHAR, "
      "PRIMARY KEY ([file] COLLATE [BINARY] ASC) ON CONFLICT REPLACE, "
      "UNIQUE ([file] COLLATE [BINARY] ASC) ON CONFLICT REPLACE);"
      "CREATE INDEX [filetag.index.star] ON [filetag] ([star] COLLATE [BINARY] ASC);"
      "CREATE INDEX [filetag.index.file] ON [filetag] ([file] COLLATE [BINARY] ASC);"
      "CREATE INDEX [filetag.index.path] ON [filetag] ([path] COLLATE [BINARY] ASC);";

static const char* const bookpathSql = "CREATE TABLE [bookpath] ([parent] INT64, [name] NVARCHAR COLLATE NOCASE);"
                                       "CREATE INDEX [bookpath.index.name] ON [bookpath] ([name] COLLATE NOCASE ASC);";

static const char* const bookmarkSql
    = "CREATE TABLE [bookmark] ([parent] INT64, [name] NVARCHAR COLLATE NOCASE, [type] INT, [file] NVARCHAR);"
      "CREATE INDEX [bookmark.index.file] ON [bookmark] ([file] COLLATE BINARY ASC);"
      "CREATE INDEX [bookmark.index.name] ON [bookmark] ([name] COLLATE NOCASE ASC);";

TagDb::TagDb() = default;

TagDb::~TagDb() = default;

bool TagDb::initTable()
{
    const struct {
        const char* name;
        const char* sql;
    } tables[] = {
        { "histag", histagSql },
        { "filetag", filetagSql },
        { "bookpath", bookpathSql },
        { "bookmark", bookmarkSql },
    };
    for (const auto& t : tables) {
        if (!tableExists(QString::fromLatin1(t.name)))
            execMultiSql(QString::fromLatin1(t.sql));
    }
    return true;
}
