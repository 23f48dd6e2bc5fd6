#include "browser/model/SecurityText.h"

std::optional<QString> securityLevelText(int level) {
    switch (level) {
    case 0:
        return QString();
    case 1:
        return QStringLiteral("Mehrfache Verschlüsselung");
    case 2:
        return QStringLiteral("Verschlüsselt, Bit-Länge unbekannt");
    case 3:
        return QStringLiteral("Verschlüsselt mit 40 Bit");
    case 4:
        return QStringLiteral("Verschlüsselt mit 56 Bit");
    case 5:
        return QStringLiteral("Verschlüsselt mit Fortezza");
    case 6:
        return QStringLiteral("Verschlüsselt mit 128 Bit");
    default:
        return std::nullopt;
    }
}
