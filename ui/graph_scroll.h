#pragma once

#include "app/sample_store.h"
#include "cpp/time.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace ui {

// Which stretch of the stored history the graph shows: the bucket duration,
// the time of the rightmost column, whether the view follows the present
// (live), and the zoom anchor that keeps the bucket under the mouse in
// place across a change of scale. Bucket indexes come from the store; the
// present is an argument, so tests choose it.
class GraphPosition {
public:
    // The horizontal scroll bar, in buckets since the earliest stored data.
    // The position is below 0 while the history is shorter than a page.
    struct ScrollBar {
        std::int32_t maximum = 0;
        std::int32_t page = 0;
        std::int32_t position = 0;
        bool operator==(const ScrollBar&) const = default;
    };

    // The scroll bar's requests, by the low word of their code.
    enum Request : std::int32_t {
        lineLeft = 0,
        lineRight = 1,
        pageLeft = 2,
        pageRight = 3,
        thumbPosition = 4,
        thumbTrack = 5,
        top = 6,
        bottom = 7,
    };

    // Live, at the first scale.
    explicit GraphPosition(const SampleStore& store);

    const cpp::Duration& bucket() const { return bucket_; }
    const cpp::DateTime& viewEnd() const { return viewEnd_; }
    bool live() const { return live_; }
    // The buckets on one page, as of the last refresh.
    std::int32_t page() const { return page_; }

    // Takes the page width in buckets, follows the present while live, and
    // turns live on when the view starts before the earliest data without
    // reaching the present. Returns the scroll bar to show.
    ScrollBar refresh(std::int32_t pageColumns, const cpp::DateTime& now);

    // Moves the view end to time, kept between a page after the earliest
    // data and now; live exactly when that is within a second of now. The
    // caller refreshes.
    void scrollTo(cpp::DateTime time, const cpp::DateTime& now);

    // Where a scroll-bar request moves the view end, or none for a request
    // that does nothing. trackPosition and maximum are the bar's own, read
    // while its thumb is dragged.
    std::optional<cpp::DateTime> requestTarget(std::int32_t request, std::int32_t trackPosition,
                                               std::int32_t maximum, const cpp::DateTime& now) const;

    // The scale one wheel turn asks for: larger for a delta of 0 or below,
    // smaller above; none at either end of the scales. When there is one and
    // column is a bucket of the shown series, its middle is anchored at that
    // column until setScale.
    std::optional<cpp::Duration> zoom(std::int32_t wheelDelta, std::optional<std::size_t> column,
                                      const cpp::DateTime& seriesStart);

    // Makes scale the bucket duration; a pending anchor first moves the view
    // so that the anchored time stays near its column. The caller refreshes.
    void setScale(const cpp::Duration& scale, const cpp::DateTime& now);

private:
    std::int64_t index(const cpp::DateTime& time) const { return store_.bucketIndex(time, bucket_); }

    struct Anchor {
        cpp::DateTime time;
        std::int32_t column = 0;
    };

    const SampleStore& store_;
    cpp::Duration bucket_;
    cpp::DateTime viewEnd_;
    bool live_ = true;
    std::int32_t page_ = 0;
    std::optional<Anchor> anchor_;
};

} // namespace ui
