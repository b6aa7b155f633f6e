#include "i18n/tr.h"

#include "i18n/translations.h"

std::string_view translate(Lang lang, std::string_view english, std::string_view chinese) {
    switch (lang) {
    case Lang::zh:
        return chinese;
    case Lang::fr:
    case Lang::es: {
        const TranslationRow* row = find_translation(english);
        if (!row) return english;
        return lang == Lang::fr ? row->french : row->spanish;
    }
    case Lang::en:
        break;
    }
    return english;
}

std::string_view tr(std::string_view english, std::string_view chinese) {
    return translate(current_language(), english, chinese);
}
