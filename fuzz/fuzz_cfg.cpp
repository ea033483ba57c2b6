// The csv.cfg codec: any bytes give a record whose bytes survive a round trip, and whose fields read back
// what is set.
#include TERVANE_CFG_HEADER

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const settings::CFGRecord record = settings::CFGRecord::fromBytes(bytes);
    const QByteArray out = record.toBytes();
    if (out.size() != settings::kCfgRecordSize) std::abort();
    if (bytes.size() >= settings::kCfgRecordSize && out != bytes.left(settings::kCfgRecordSize)) std::abort();
    if (!(settings::CFGRecord::fromBytes(out) == record)) std::abort();
    settings::CFGRecord copy = record;
    copy.setHost(record.host());
    copy.setFolder(record.folder());
    copy.setPassword(record.password());
    if (copy.host() != record.host() || copy.folder() != record.folder() ||
        copy.password() != record.password())
        std::abort();
    for (int c = 0; c < settings::kChannelCount; ++c) {
        const auto ch = settings::Channel(c);
        copy.setChannelName(ch, record.channelName(ch));
        if (copy.channelName(ch) != record.channelName(ch)) std::abort();
    }
    const QDate day = settings::DayNumberToDate(record.copyFromDate());
    if (day.isValid()) (void)settings::DateToDayNumber(day);
    return 0;
}
