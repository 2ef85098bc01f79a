#include "core/builtin_texts.h"

#include <array>
#include <cstring>

namespace vistrel {
namespace {

constexpr std::array<LanguageText, 56> kTexts = {{
    {"Viewer", "id01", "Файл"},
    {"Viewer", "id02", "Вид"},
    {"Viewer", "id03", "Сервис"},
    {"Viewer", "id04", "Помощь"},
    {"Viewer", "id05", "Масштаб"},
    {"Viewer", "id06", "Качество"},
    {"Viewer", "id07", "Выход"},
    {"Viewer", "id08", "Менеджер закладок..."},
    {"Viewer", "id09", "Конфигурация"},
    {"Viewer", "id10", "Увеличить"},
    {"Viewer", "id11", "Уменьшить"},
    {"Viewer", "id12", "Показать все"},
    {"Viewer", "id13", "Шаг вперед"},
    {"Viewer", "id14", "Шаг назад"},
    {"Viewer", "id15", "В начало"},
    {"Viewer", "id16", "Пуск"},
    {"Viewer", "id17", "Стоп"},
    {"Viewer", "id18", "Справка"},
    {"Viewer", "id19", "Страница в Интернете"},
    {"Viewer", "id20", "О программе"},
    {"Viewer", "id21", "Вверх"},
    {"Viewer", "id22", "Назад"},
    {"Viewer", "id23", "Вперед"},
    {"Viewer", "id24", "Версия"},
    {"Viewer", "id25", "Сжатие"},
    {"Viewer", "id26", "Размер кадра"},
    {"Viewer", "id27", "Кадров в секунду"},
    {"Viewer", "id28", "Количество кадров"},
    {"Viewer", "id29", "Размер файла"},
    {"Viewer", "id30", "Закладки"},
    {"Favorites", "id01", "Менеджер закладок"},
    {"Favorites", "id02", "Название:"},
    {"Favorites", "id03", "Папка"},
    {"Favorites", "id04", "Добавить"},
    {"Favorites", "id05", "Заменить"},
    {"Favorites", "id06", "Отменить"},
    {"Favorites", "id07", "Редактировать"},
    {"Favorites", "id08", "Удалить"},
    {"Favorites", "id09", "Вверх"},
    {"Favorites", "id10", "Вниз"},
    {"Favorites", "id11", "Закрыть"},
    {"Favorites", "id12", "Список закладок полностью заполнен"},
    {"Config", "id01", "Конфигурация"},
    {"Config", "id02", " Исходная директория  "},
    {"Config", "id03", " Окно программы   "},
    {"Config", "id04", "Запоминать последнюю просмотренную директорию"},
    {"Config", "id05", "Всегда стартовать программу с директории:"},
    {"Config", "id06", "Запоминать размеры окна"},
    {"Config", "id07", "Запоминать положение окна"},
    {"Config", "id08", "Центрировать окно при открытии программы"},
    {"Config", "id09", "Показывать всплывающие подсказки у элементов интерфейса"},
    {"Config", "id10", "Показывать значки в меню"},
    {"Config", "id11", "Язык:"},
    {"Config", "id12", "Сохранить"},
    {"Config", "id13", "Закрыть"},
    {"Config", "id14", "По умолчанию"},
}};

} // namespace

std::span<const LanguageText> interfaceTexts()
{
    return kTexts;
}

std::span<const LanguageText> interfaceTexts(const char* section)
{
    std::size_t first = kTexts.size();
    std::size_t last = 0;
    for (std::size_t i = 0; i < kTexts.size(); ++i) {
        if (std::strcmp(kTexts[i].section, section) == 0) {
            first = std::min(first, i);
            last = i + 1;
        }
    }
    if (first >= last)
        return {};
    return std::span<const LanguageText>(kTexts).subspan(first, last - first);
}

QString builtinText(const char* section, const char* key)
{
    for (const LanguageText& text : kTexts) {
        if (std::strcmp(text.section, section) == 0 && std::strcmp(text.key, key) == 0)
            return QString::fromUtf8(text.builtin);
    }
    return {};
}

} // namespace vistrel
