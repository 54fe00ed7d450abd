// The rows of one prepared image, and the destination put in place.

#include "ImageConversion.h"

#include <exception>

#include "Messages.h"
#include "RowPipeline.h"
#include "RunState.h"

namespace {

// The per-pixel loop on the run's thread.
RowsEnd ConvertRowsPlain(ImagePlan& plan, const RunControl& control,
                         const std::function<void()>& rowDone) {
    for (uint32_t row = 0; row < plan.height; ++row) {
        if (control.CancelRequested())
            return RowsEnd::Cancelled;
        if (!plan.source.ReadRow(plan.sourceRow.get()))
            return RowsEnd::ReadFailed;
        const bool complete = ConvertRowPixels(control, *plan.cmm, plan.layout, plan.width,
                                               plan.sourceRow.get(), plan.destRow.get());
        if (!plan.dest.WriteRow(plan.destRow.get()))
            return RowsEnd::WriteFailed;
        rowDone();
        if (!complete)
            return RowsEnd::Cancelled;
    }
    return RowsEnd::Done;
}

RowsEnd ConvertRows(ImagePlan& plan, const RunControl& control,
                    const std::function<void()>& rowDone) {
    if (plan.kernel) {
        std::unique_ptr<CRowPipeline> pipeline;
        try {
            pipeline = std::make_unique<CRowPipeline>(plan.source, plan.dest, *plan.kernel, control,
                                                      plan.width, plan.height, plan.colour.workers);
        } catch (const std::exception&) {
            // No memory or threads for the fast way: the plain loop needs none.
            plan.colour = ColourPlan();
        }
        if (pipeline)
            return pipeline->Run(rowDone);
    }
    return ConvertRowsPlain(plan, control, rowDone);
}

} // namespace

ImageOutcome ConvertImage(ImagePlan& plan, const RunControl& control,
                          const ImageProgress& progress) {
    // The first page was begun by PrepareImage.
    const uint32_t first = plan.page, pages = uint32_t(plan.pages.size());
    RowsEnd end = RowsEnd::Done;
    std::string failure, why;
    for (uint32_t page = first; page < pages && end == RowsEnd::Done; ++page) {
        if (page > first)
            failure = BeginPage(plan, page, &why);
        if (!failure.empty())
            break;
        if (progress.pageBegun)
            progress.pageBegun(page, pages);
        end = ConvertRows(plan, control, progress.rowDone);
    }
    // A cancel that came after the last row still leaves the name as it was.
    if (failure.empty() && end == RowsEnd::Done && control.CancelRequested())
        end = RowsEnd::Cancelled;
    // All rows are written: the file goes under its name only once it is
    // whole on disk.
    if (failure.empty() && end == RowsEnd::Done && !plan.dest.Commit())
        end = RowsEnd::WriteFailed;
    const std::string writeCause = end == RowsEnd::WriteFailed ? WriteCause(plan) : std::string();
    plan.dest.Close();
    if (!failure.empty())
        return {ImageStatus::Failed, failure, why};
    switch (end) {
    case RowsEnd::Done:
        return {ImageStatus::Converted, std::string(), std::string()};
    case RowsEnd::Cancelled:
        return {ImageStatus::Cancelled, std::string(), std::string()};
    case RowsEnd::ReadFailed:
        return {ImageStatus::Failed, msg::kReadFailed, std::string()};
    case RowsEnd::WriteFailed:
        break;
    }
    return {ImageStatus::Failed, FormatText(msg::kWriteFailed, plan.shownDest.c_str()), writeCause};
}
