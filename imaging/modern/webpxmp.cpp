#include "webpmetadata.h"

#include "imaging/result.h"

#include <webp/demux.h>

#include <memory>

namespace kamelo::imaging::webpcodec {

namespace {

struct DemuxFree {
    void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};

} // namespace

int readXmp(ByteView bytes, std::string& xmp) {
    return withoutThrowing([&]() -> int {
        xmp.clear();
        if (!bytes.data || bytes.size == 0)
            return result::kTruncated;
        const WebPData data{bytes.data, bytes.size};
        // The demuxer checks every chunk's size against the file's.
        const std::unique_ptr<WebPDemuxer, DemuxFree> demux(WebPDemux(&data));
        if (!demux)
            return result::kCorruptData;
        if (!(WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & XMP_FLAG))
            return result::kSuccess;
        WebPChunkIterator chunk{};
        if (!WebPDemuxGetChunk(demux.get(), "XMP ", 1, &chunk))
            return result::kSuccess;
        xmp.assign(reinterpret_cast<const char*>(chunk.chunk.bytes), chunk.chunk.size);
        WebPDemuxReleaseChunkIterator(&chunk);
        // Some writers end the packet with a NUL, as C strings.
        while (!xmp.empty() && xmp.back() == '\0')
            xmp.pop_back();
        return result::kSuccess;
    });
}

} // namespace kamelo::imaging::webpcodec
