#include "ui/dialogs/job_texts.h"

namespace zv {

QString export_stage_text(ExportStage stage) {
    switch (stage) {
        case ExportStage::DecodingMp3:
        case ExportStage::DecodingSource:
            return QString::fromLatin1(EXPORT_DECODING_TEXT);
        case ExportStage::MeasuringLevel:
            return QString::fromLatin1(EXPORT_MEASURING_TEXT);
        case ExportStage::Processing:
            return QString();
        case ExportStage::EncodingMp3:
            return QString::fromLatin1(EXPORT_ENCODING_TEXT);
        case ExportStage::EncodingMp3External:
            return QString::fromLatin1(EXPORT_ENCODING_EXTERNAL_TEXT);
        case ExportStage::EncodingFlac:
            return QString::fromLatin1(EXPORT_ENCODING_FLAC_TEXT);
        case ExportStage::EncodingOpus:
            return QString::fromLatin1(EXPORT_ENCODING_OPUS_TEXT);
    }
    return QString();
}

QString processed_time_text(uint64_t frames, int32_t sample_rate) {
    const uint64_t seconds = sample_rate > 0 ? frames / static_cast<uint64_t>(sample_rate) : 0;
    return QString::asprintf("%02llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                             static_cast<unsigned long long>(seconds % 60));
}

QString peak_progress_text(int song, int percent) {
    return QString::asprintf(PEAK_PROGRESS_TEXT, song, percent);
}

}  // namespace zv
