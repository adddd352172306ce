#include "meta/jpegrowreader.h"

#include "sys/largebuffer.h"

#include <QIODevice>

#include <csetjmp>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

namespace {

const int kSourceBytes = 64 * 1024;

// libjpeg's input from a QIODevice, a block at a time.
struct DeviceSource {
    jpeg_source_mgr pub;
    QIODevice* device;
    JOCTET buffer[kSourceBytes];
};

void initSource(j_decompress_ptr) { }

boolean fillInputBuffer(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<DeviceSource*>(cinfo->src);
    const qint64 n = src->device->read(reinterpret_cast<char*>(src->buffer), kSourceBytes);
    src->pub.next_input_byte = src->buffer;
    if (n <= 0) {
        // A file cut short ends as its reader ends it: a fake end marker, the rest of the picture left grey.
        src->buffer[0] = JOCTET(0xFF);
        src->buffer[1] = JOCTET(JPEG_EOI);
        src->pub.bytes_in_buffer = 2;
    } else {
        src->pub.bytes_in_buffer = size_t(n);
    }
    return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count)
{
    auto* src = reinterpret_cast<DeviceSource*>(cinfo->src);
    while (count > long(src->pub.bytes_in_buffer)) {
        count -= long(src->pub.bytes_in_buffer);
        fillInputBuffer(cinfo);
    }
    if (count > 0) {
        src->pub.next_input_byte += count;
        src->pub.bytes_in_buffer -= size_t(count);
    }
}

void termSource(j_decompress_ptr) { }

struct ErrorJump {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void errorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorJump*>(cinfo->err)->jump, 1);
}

// Warnings on damaged data are not printed; the decode goes on as the library decides.
void outputMessage(j_common_ptr) { }

} // namespace

// A whole-picture array of coefficient blocks; the library sees only the pointer.
struct jvirt_barray_control {
    JBLOCKARRAY rows;
    JDIMENSION blocksPerRow;
    JDIMENSION rowCount;
    jvirt_barray_control* next;
};

namespace {

// The coefficient arrays of a picture, all in one large buffer instead of an allocation each.
struct BlockArrays {
    LargeBuffer own;
    LargeBuffer* buffer = nullptr;
    jvirt_barray_control* arrays = nullptr;
    void (*realizeOthers)(j_common_ptr) = nullptr;
};

BlockArrays* arraysOf(j_common_ptr cinfo)
{
    return static_cast<BlockArrays*>(cinfo->client_data);
}

jvirt_barray_ptr requestBlockArray(
    j_common_ptr cinfo, int pool, boolean, JDIMENSION blocksPerRow, JDIMENSION rowCount, JDIMENSION)
{
    // Every array starts zeroed, asked for or not.
    auto* array
        = static_cast<jvirt_barray_control*>((*cinfo->mem->alloc_small)(cinfo, pool, sizeof(jvirt_barray_control)));
    array->rows = nullptr;
    array->blocksPerRow = blocksPerRow;
    array->rowCount = rowCount;
    array->next = arraysOf(cinfo)->arrays;
    arraysOf(cinfo)->arrays = array;
    return array;
}

void realizeArrays(j_common_ptr cinfo)
{
    BlockArrays* all = arraysOf(cinfo);
    size_t bytes = 0;
    for (jvirt_barray_control* a = all->arrays; a; a = a->next)
        bytes += size_t(a->blocksPerRow) * a->rowCount * sizeof(JBLOCK);
    auto* blocks = static_cast<JBLOCK*>(all->buffer->zeroed(bytes));
    if (!blocks)
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    for (jvirt_barray_control* a = all->arrays; a; a = a->next) {
        a->rows = static_cast<JBLOCKARRAY>(
            (*cinfo->mem->alloc_large)(cinfo, JPOOL_IMAGE, size_t(a->rowCount) * sizeof(JBLOCKROW)));
        for (JDIMENSION r = 0; r < a->rowCount; ++r, blocks += a->blocksPerRow)
            a->rows[r] = blocks;
    }
    all->realizeOthers(cinfo);
}

JBLOCKARRAY accessBlockArray(j_common_ptr cinfo, jvirt_barray_ptr array, JDIMENSION first, JDIMENSION count, boolean)
{
    if (!array->rows || first > array->rowCount || count > array->rowCount - first)
        ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    return array->rows + first;
}

} // namespace

struct JpegRowReader::Private {
    jpeg_decompress_struct cinfo;
    ErrorJump error;
    DeviceSource source;
    BlockArrays blocks;
    bool created = false;
    bool started = false;
    bool failed = false;
};

JpegRowReader::JpegRowReader(QIODevice* device, LargeBuffer* coefficients)
    : d(std::make_unique<Private>())
{
    d->blocks.buffer = coefficients ? coefficients : &d->blocks.own;
    d->cinfo.err = jpeg_std_error(&d->error.pub);
    d->error.pub.error_exit = errorExit;
    d->error.pub.output_message = outputMessage;
    d->source.device = device;
    d->source.pub.init_source = initSource;
    d->source.pub.fill_input_buffer = fillInputBuffer;
    d->source.pub.skip_input_data = skipInputData;
    d->source.pub.resync_to_restart = jpeg_resync_to_restart;
    d->source.pub.term_source = termSource;
    d->source.pub.bytes_in_buffer = 0;
    d->source.pub.next_input_byte = nullptr;
}

JpegRowReader::~JpegRowReader()
{
    if (d->created)
        jpeg_destroy_decompress(&d->cinfo);
}

bool JpegRowReader::start()
{
    if (d->created)
        return false;
    if (setjmp(d->error.jump)) {
        d->failed = true;
        return false;
    }
    jpeg_create_decompress(&d->cinfo);
    d->created = true;
    d->cinfo.client_data = &d->blocks;
    d->cinfo.src = &d->source.pub;
    d->blocks.realizeOthers = d->cinfo.mem->realize_virt_arrays;
    d->cinfo.mem->request_virt_barray = requestBlockArray;
    d->cinfo.mem->realize_virt_arrays = realizeArrays;
    d->cinfo.mem->access_virt_barray = accessBlockArray;
    if (jpeg_read_header(&d->cinfo, TRUE) != JPEG_HEADER_OK)
        return false;
    if (d->cinfo.num_components == 1) {
        d->cinfo.out_color_space = JCS_GRAYSCALE;
    } else if (d->cinfo.num_components == 3) {
        d->cinfo.out_color_space = JCS_EXT_BGRX;
    } else {
        return false;
    }
    d->cinfo.dct_method = JDCT_ISLOW;
    d->cinfo.do_fancy_upsampling = TRUE;
    jpeg_start_decompress(&d->cinfo);
    d->started = true;
    return true;
}

QSize JpegRowReader::size() const
{
    return d->started ? QSize(int(d->cinfo.output_width), int(d->cinfo.output_height)) : QSize();
}

bool JpegRowReader::isGrey() const
{
    return d->started && d->cinfo.output_components == 1;
}

int JpegRowReader::readRows(unsigned char* const* rows, int count)
{
    if (!d->started || d->failed)
        return 0;
    if (setjmp(d->error.jump)) {
        d->failed = true;
        return 0;
    }
    int read = 0;
    while (read < count && d->cinfo.output_scanline < d->cinfo.output_height) {
        const int n
            = int(jpeg_read_scanlines(&d->cinfo, const_cast<JSAMPARRAY>(rows + read), JDIMENSION(count - read)));
        if (n <= 0)
            break;
        read += n;
    }
    return read;
}

bool JpegRowReader::failed() const
{
    return d->failed;
}
