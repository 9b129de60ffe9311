#include "file/FileStep.h"

#include "file/FileStepHook.h"

#include <utility>

namespace {

TFileStepHook& StepHook() {
    static TFileStepHook hook;
    return hook;
}

} // namespace

TFileStepHook SetFileStepHook(TFileStepHook hook) {
    std::swap(StepHook(), hook);
    return hook;
}

void ReachFileStep(TFileStep step, int folder) {
    if (const TFileStepHook& hook = StepHook())
        hook(step, folder);
}
