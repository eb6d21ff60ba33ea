#include "picture/jpegdecode.h"

#include "picture/upright.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

namespace tessilor {

namespace {

// libjpeg reports errors by calling error_exit, which must not return; the
// jump goes back to the call that protectedCall made. Nothing with a
// destructor lives between the two.
struct Guard {
    jpeg_error_mgr mgr; // first, so that cinfo->err is the guard
    jmp_buf jump;
    LoadError error = LoadError::None;
    char message[JMSG_LENGTH_MAX] = {};
    int scan = 0;
    qint64 blockVisits = 0;
    qint64 maxBlockVisits = 0;
};

Guard *guardOf(j_common_ptr cinfo)
{
    return reinterpret_cast<Guard *>(cinfo->err);
}

[[noreturn]] void fail(j_common_ptr cinfo, LoadError error, const char *text = nullptr)
{
    Guard *g = guardOf(cinfo);
    g->error = error;
    if (text)
        std::snprintf(g->message, sizeof g->message, "%s", text);
    else
        (*cinfo->err->format_message)(cinfo, g->message);
    std::longjmp(g->jump, 1);
}

void onError(j_common_ptr cinfo)
{
    switch (cinfo->err->msg_code) {
    case JERR_OUT_OF_MEMORY:
        fail(cinfo, LoadError::OutOfMemory);
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW:
        fail(cinfo, LoadError::TooLarge);
    default:
        fail(cinfo, LoadError::Corrupt);
    }
}

// Warnings that do not touch the picture: an unknown JFIF version, and
// junk between the last scan's data and the end marker (some encoders pad
// there; every pixel has been decoded from real data by then).
bool harmless(const jpeg_error_mgr &err)
{
    return err.msg_code == JWRN_JFIF_MAJOR || (err.msg_code == JWRN_EXTRANEOUS_DATA && err.msg_parm.i[1] == JPEG_EOI);
}

void onMessage(j_common_ptr cinfo, int level)
{
    // Level -1 is a warning: damaged data the decoder would patch over, or
    // data that ends early. Higher levels are traces.
    if (level >= 0 || harmless(*cinfo->err))
        return;
    fail(cinfo, LoadError::Corrupt);
}

void silentOutput(j_common_ptr) {}

// Called before every row of input the decoder takes in, in every scan:
// counts the scans and what they cost.
void onProgress(j_common_ptr common)
{
    auto *cinfo = reinterpret_cast<j_decompress_ptr>(common);
    Guard *g = guardOf(common);
    if (cinfo->input_scan_number == g->scan)
        return;
    g->scan = cinfo->input_scan_number;
    if (g->scan > kMaxJpegScans)
        fail(common, LoadError::TooComplex, "more scans than any real picture needs");
    for (int i = 0; i < cinfo->comps_in_scan; ++i) {
        const jpeg_component_info *c = cinfo->cur_comp_info[i];
        g->blockVisits += qint64(c->width_in_blocks) * c->height_in_blocks;
    }
    if (g->blockVisits > g->maxBlockVisits)
        fail(common, LoadError::TooComplex, "more decoding work than any real picture needs");
}

template<typename F>
bool protectedCall(Guard &guard, const F &f)
{
    if (setjmp(guard.jump))
        return false;
    f();
    return true;
}

struct Decoder {
    jpeg_decompress_struct cinfo;
    Guard guard;
    jpeg_progress_mgr progress = {};
    bool created = false;
    ~Decoder()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
};

// Coefficient memory of a picture the decoder must hold whole (progressive
// or in several scans).
qint64 coefficientBytes(const jpeg_decompress_struct &cinfo)
{
    qint64 bytes = 0;
    for (int i = 0; i < cinfo.num_components; ++i) {
        const jpeg_component_info &c = cinfo.comp_info[i];
        const qint64 w = (qint64(c.width_in_blocks) + c.h_samp_factor - 1) / c.h_samp_factor * c.h_samp_factor;
        const qint64 h = (qint64(c.height_in_blocks) + c.v_samp_factor - 1) / c.v_samp_factor * c.v_samp_factor;
        bytes += w * h * qint64(sizeof(JBLOCK));
    }
    return bytes;
}

// Inverted (Adobe) CMYK as libjpeg hands it out, turned into RGB the way Qt
// reads such files.
void cmykToRgb(QRgb *line, int width)
{
    const auto *in = reinterpret_cast<const uchar *>(line);
    for (int x = 0; x < width; ++x, in += 4) {
        const int k = in[3];
        line[x] = qRgb(k * in[0] / 255, k * in[1] / 255, k * in[2] / 255);
    }
}

} // namespace

LoadError decodeJpeg(const QByteArray &bytes, JpegRows &rows, QString *detail)
{
    Decoder d;
    d.cinfo.err = jpeg_std_error(&d.guard.mgr);
    d.guard.mgr.error_exit = onError;
    d.guard.mgr.emit_message = onMessage;
    d.guard.mgr.output_message = silentOutput;
    jpeg_decompress_struct *cinfo = &d.cinfo;
    auto failed = [&]() {
        if (detail)
            *detail = QString::fromLatin1(d.guard.message);
        return d.guard.error;
    };
    if (!protectedCall(d.guard, [&] { jpeg_create_decompress(cinfo); }))
        return failed();
    d.created = true;
    d.progress.progress_monitor = onProgress;
    cinfo->progress = &d.progress;
    if (!protectedCall(d.guard, [&] {
            jpeg_mem_src(cinfo, reinterpret_cast<const unsigned char *>(bytes.constData()),
                         (unsigned long)bytes.size());
            jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
            jpeg_read_header(cinfo, TRUE);
        }))
        return failed();

    const QSize size(int(cinfo->image_width), int(cinfo->image_height));
    if (size.isEmpty())
        return LoadError::Corrupt;
    if (qint64(size.width()) * size.height() * 4 > kMaxDecodedBytes)
        return LoadError::TooLarge;
    if (jpeg_has_multiple_scans(cinfo) && coefficientBytes(*cinfo) > kMaxDecodedBytes)
        return LoadError::TooLarge;
    qint64 blocks = 0;
    for (int i = 0; i < cinfo->num_components; ++i)
        blocks += qint64(cinfo->comp_info[i].width_in_blocks) * cinfo->comp_info[i].height_in_blocks;
    d.guard.maxBlockVisits = qMax(kJpegPassesPerBlock * blocks, kMinJpegBlockVisits);
    int orientation = 1;
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1) {
            if (m->data_length > 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0)
                orientation = exifOrientation(m->data + 6, qint64(m->data_length) - 6);
            break;
        }
    }
    bool cmyk = false;
    switch (cinfo->jpeg_color_space) {
    case JCS_CMYK:
    case JCS_YCCK:
        cinfo->out_color_space = JCS_CMYK;
        cmyk = true;
        break;
    default:
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        cinfo->out_color_space = JCS_EXT_BGRX; // 0xXXRRGGBB in memory, X = 0xFF
#else
        cinfo->out_color_space = JCS_EXT_XRGB;
#endif
        break;
    }
    if (!rows.start(size, orientation))
        return LoadError::None;
    // Decoded at full size: the grids of the picture are the window's grids.
    if (!protectedCall(d.guard, [&] { jpeg_start_decompress(cinfo); }))
        return failed();
    if (int(cinfo->output_width) != size.width() || int(cinfo->output_height) != size.height() ||
        cinfo->output_components != 4)
        return LoadError::Corrupt;
    while (cinfo->output_scanline < cinfo->output_height) {
        const int y = int(cinfo->output_scanline);
        QRgb *line = rows.row(y);
        JSAMPROW samples = reinterpret_cast<JSAMPROW>(line);
        JDIMENSION got = 0;
        if (!protectedCall(d.guard, [&] { got = jpeg_read_scanlines(cinfo, &samples, 1); }))
            return failed();
        if (got != 1)
            return LoadError::Corrupt;
        if (cmyk)
            cmykToRgb(line, size.width());
        rows.rowDone(y);
    }
    if (!protectedCall(d.guard, [&] { jpeg_finish_decompress(cinfo); }))
        return failed();
    return LoadError::None;
}

} // namespace tessilor
