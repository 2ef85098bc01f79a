#include "core/messages.h"

#include <array>

namespace vistrel {
namespace {

const std::array<const char*, static_cast<std::size_t>(MainMessage::Count)> kBuiltinMain = {
    "Нет",                         // not compressed
    "Да",                          // compressed
    "Папка закладки не найдена:",  // a favorite's folder is gone...
    "Удалить закладку из списка?", // ...remove it?
    "Закладка",                    // Favorite "name"...
    "удалена из списка.",          // ...was removed
};

const std::array<const char*, static_cast<std::size_t>(FavoritesMessage::Count)> kBuiltinFavorites = {
    "Список закладок заполнен",
    "закладок",
    "Укажите папку закладки.",
    "Укажите название закладки.",
    "Папка не существует:",
    "названием",
    "папкой",
    "Закладка с таким",
    "уже есть в списке.",
};

const std::array<const char*, static_cast<std::size_t>(PlayerMessage::Count)> kBuiltinPlayer = {
    "The file cannot be read",
    "Empty file",
    "Not an SWF movie",
    "Incomplete movie: the file ends inside its header",
    "Damaged movie: shown as far as it could be read",
    "Frame / frame count",
};

template <std::size_t N>
QString pick(const QStringList& loaded, const std::array<const char*, N>& builtin, int index)
{
    if (index < 0 || index >= static_cast<int>(N))
        return {};
    // A loaded pack always fills every entry, even with empty texts; those stand as the pack says.
    if (loaded.size() == static_cast<int>(N))
        return loaded.at(index);
    return QString::fromUtf8(builtin[static_cast<std::size_t>(index)]);
}

} // namespace

QString mainMessage(const SharedState& state, MainMessage message)
{
    return pick(state.MainMessages, kBuiltinMain, static_cast<int>(message));
}

QString playerMessage(const SharedState& state, PlayerMessage message)
{
    const int index = static_cast<int>(message);
    if (index < 0 || index >= static_cast<int>(kBuiltinPlayer.size()))
        return {};
    const QString loaded = state.PlayerMessages.value(index);
    return loaded.isEmpty() ? QString::fromUtf8(kBuiltinPlayer[static_cast<std::size_t>(index)]) : loaded;
}

QString favoritesMessage(const SharedState& state, FavoritesMessage message)
{
    return pick(state.FavoritesMessages, kBuiltinFavorites, static_cast<int>(message));
}

} // namespace vistrel
