#include "ui/graph_scroll.h"

#include <algorithm>
#include <limits>

namespace ui {

using cpp::DateTime;
using cpp::Duration;

namespace {

// time moved by a whole number of buckets, either way.
DateTime moved(const DateTime& time, std::int64_t buckets, const Duration& bucket) {
    const Duration span(static_cast<std::uint64_t>(buckets < 0 ? -buckets : buckets) * bucket.count());
    return buckets < 0 ? time - span : time + span;
}

std::int64_t wholeSeconds(const Duration& duration) {
    return static_cast<std::int64_t>(duration.count() / 1000000u);
}

// Scroll bars count in 32 bits; years of seconds still fit.
std::int32_t saturated(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

} // namespace

GraphPosition::GraphPosition(const SampleStore& store)
    : store_(store), bucket_(ScaleBuckets::firstScale()), viewEnd_(store.earliest()) {}

GraphPosition::ScrollBar GraphPosition::refresh(std::int32_t pageColumns, const DateTime& now) {
    const std::int64_t first = index(store_.earliest());
    page_ = std::max(pageColumns, 0);
    if (live_)
        viewEnd_ = now;
    std::int64_t position = index(viewEnd_) - first - page_ + 1;
    if (position < 0 && index(viewEnd_) < index(now)) {
        viewEnd_ = now;
        live_ = true;
        position = index(now) - first - page_ + 1;
    }
    return ScrollBar{saturated(index(now) - first), page_, saturated(position)};
}

void GraphPosition::scrollTo(DateTime time, const DateTime& now) {
    const DateTime lowest = moved(store_.earliest(), std::int64_t{page_} - 1, bucket_);
    if (time < lowest)
        time = lowest;
    if (now < time)
        time = now;
    viewEnd_ = time;
    live_ = time > now - Duration::seconds(1);
}

std::optional<DateTime> GraphPosition::requestTarget(std::int32_t request, std::int32_t trackPosition,
                                                     std::int32_t maximum, const DateTime& now) const {
    switch (request) {
    case lineLeft:
        return moved(viewEnd_, -1, bucket_);
    case lineRight:
        return moved(viewEnd_, 1, bucket_);
    case pageLeft:
        return moved(viewEnd_, -page_, bucket_);
    case pageRight:
        return moved(viewEnd_, page_, bucket_);
    case thumbPosition:
    case thumbTrack: {
        // The thumb's right edge as a share of the whole range; an empty
        // range has its only page at the present.
        const double share =
            maximum <= 0 ? 1.0 : std::min(1.0, (double(trackPosition) + page_) / double(maximum));
        const DateTime earliest = store_.earliest();
        const double seconds = std::max(0.0, double(wholeSeconds(now - earliest)) * share);
        return earliest + Duration::seconds(static_cast<std::uint64_t>(seconds));
    }
    case top:
        return moved(store_.earliest(), page_, bucket_);
    case bottom:
        return now;
    default:
        return std::nullopt;
    }
}

std::optional<Duration> GraphPosition::zoom(std::int32_t wheelDelta, std::optional<std::size_t> column,
                                            const DateTime& seriesStart) {
    const Duration scale = wheelDelta <= 0 ? ScaleBuckets::nextScale(bucket_) : ScaleBuckets::previousScale(bucket_);
    if (scale == bucket_)
        return std::nullopt;
    if (column) {
        const std::int64_t bucketSeconds = wholeSeconds(bucket_);
        const std::int64_t middle = wholeSeconds(seriesStart.sinceEpoch()) +
                                    bucketSeconds * static_cast<std::int64_t>(*column) + bucketSeconds / 2;
        anchor_ = Anchor{DateTime(Duration::seconds(static_cast<std::uint64_t>(middle))), saturated(std::int64_t(*column))};
    }
    return scale;
}

void GraphPosition::setScale(const Duration& scale, const DateTime& now) {
    bucket_ = scale;
    if (anchor_) {
        scrollTo(moved(anchor_->time, std::int64_t{page_} - anchor_->column, bucket_), now);
        anchor_.reset();
    }
}

} // namespace ui
