#include "core/shared_state.h"

namespace vistrel {

QString languageFileFor(const SharedState& state, const QString& displayName)
{
    for (const LanguagePackEntry& entry : state.LanguagePacks) {
        if (entry.displayName.compare(displayName, Qt::CaseInsensitive) == 0)
            return entry.fileName;
    }
    return {};
}

} // namespace vistrel
