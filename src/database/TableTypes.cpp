#include "database/TableTypes.h"

#include <utility>
#include <vector>

namespace {

const std::vector<std::pair<const char*, FieldType>>& typeNames() {
    static const std::vector<std::pair<const char*, FieldType>> names = {
        {"ftString", FieldType::String},     {"ftInteger", FieldType::Integer},
        {"ftBoolean", FieldType::Boolean},   {"ftFloat", FieldType::Float},
        {"ftCurrency", FieldType::Currency}, {"ftDate", FieldType::Date},
        {"ftTime", FieldType::Time},         {"ftAutoInc", FieldType::AutoInc},
        {"ftMemo", FieldType::Memo},         {"ftPicture", FieldType::Picture}};
    return names;
}

} // namespace

std::optional<FieldType> fieldTypeFromName(const QString& typeName) {
    for (const auto& [name, type] : typeNames())
        if (typeName.trimmed() == QLatin1String(name))
            return type;
    return std::nullopt;
}

QString fieldTypeName(FieldType type) {
    for (const auto& [name, t] : typeNames())
        if (t == type)
            return QString::fromLatin1(name);
    return {};
}
