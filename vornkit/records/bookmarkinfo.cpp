#include "records/bookmarkinfo.h"

#include "sys/fileutil.h"

BookMarkInfo::BookMarkInfo() = default;

BookMarkInfo::~BookMarkInfo() = default;

int BookMarkInfo::calcName()
{
    name = ExtractFileName(file);
    if (name.isEmpty())
        name = file;
    return 0;
}
