#include "SweepMessages.h"

#include <QRegularExpression>

namespace {
struct Translation {
    const char *english; // a whole message, its variable parts captured
    const char *spanish; // the same message, %1, %2 and so on for the captures
};

// What a mistyped target or exclusion is told: the target as typed, then what is wrong with it.
const Translation TargetTranslations[] = {
    {"'(.*)' is not a dotted IPv4 address", "'%1' no es una direccion IPv4 valida"},
    {"'(.*)' is not an IPv6 address", "'%1' no es una direccion IPv6 valida"},
    {"this machine has no link '(.*)'", "esta maquina no tiene el enlace '%1'"},
    {"the prefix length must be 0 to (\\d+)", "la longitud del prefijo debe estar entre 0 y %1"},
    {"the range ends before it starts", "el rango termina antes de empezar"},
    {"only an IPv6 address takes a zone", "solo una direccion IPv6 lleva zona"},
    {"an IPv6 range or block may hold (\\d+) addresses at most \\(a /112\\)",
     "un rango o bloque IPv6 admite %1 direcciones como mucho (un /112)"},
};

const Translation SweepTranslations[] = {
    {"the targets hold (\\d+) addresses, more than (\\d+)", "los objetivos suman %1 direcciones, mas de %2"},
    {"cannot open another ICMP socket: (.*)", "no se pudo abrir otro socket ICMP: %1"},
    {"cannot set up the ICMP socket: (.*)", "no se pudo preparar el socket ICMP: %1"},
    {"cannot set the time-to-live (\\d+): (.*)", "no se pudo fijar el TTL %1: %2"},
    {"cannot have answers timed on arrival: (.*)", "no se pudo medir la llegada de las respuestas: %1"},
    {"cannot wait for answers: (.*)", "no se pudo esperar las respuestas: %1"},
    {"cannot make the sweep stoppable: (.*)", "no se pudo preparar la parada del barrido: %1"},
    {"cannot draw the sweep's key: no random numbers", "no se pudo sacar la clave del barrido: no hay numeros al azar"},
    {"cannot open a packet socket to send frames: (.*)", "no se pudo abrir un socket de paquetes para las tramas: %1"},
    {"the ICMP socket was closed", "el socket ICMP se cerro"},
    {"the ICMP helper has gone", "el ayudante ICMP ya no esta"},
    // What kept the search for the neighbours from finding every host.
    {"the neighbour table cannot be read: hosts that do not answer echo are missing",
     "no se pudo leer la tabla de vecinos: faltan las maquinas que no responden al eco"},
    {"(\\d+) more targets on this host's links were not asked: at most (\\d+) are",
     "no se pregunto a %1 objetivos mas de los enlaces de esta maquina: se pregunta a %2 como mucho"},
    {"(.*): (\\d+) targets on this host's links could not be asked",
     "no se pudo preguntar a %2 objetivos de los enlaces de esta maquina: %1"},
    {"cannot read the makers of hardware addresses from (.*): (.*)", "no se pudo leer la lista de fabricantes %1: %2"},
    {"(.*): the link's hosts were asked through the neighbour table instead",
     "se pregunto a las maquinas del enlace por la tabla de vecinos: %1"},
    // The search by TCP: what kept it from asking, and what ended it.
    {"1 TCP connection attempt could not be sent \\(no route, a broadcast address, or this host's firewall\\)",
     "no se pudo enviar 1 intento de conexion TCP (sin ruta, una direccion de difusion, o el cortafuegos de esta "
     "maquina)"},
    {"(\\d+) TCP connection attempts could not be sent \\(no route, a broadcast address, or this host's firewall\\)",
     "no se pudieron enviar %1 intentos de conexion TCP (sin ruta, una direccion de difusion, o el cortafuegos de "
     "esta maquina)"},
    {"cannot open a TCP socket: (.*)", "no se pudo abrir un socket TCP: %1"},
    {"cannot wait for TCP sockets: (.*)", "no se pudo esperar a los sockets TCP: %1"},
    {"cannot make the TCP probe stoppable: (.*)", "no se pudo preparar la parada de la busqueda por TCP: %1"},
    // A mistyped port list, the item as typed.
    {"bad port '(.*)': ports are numbers from 1 to 65535", "'%1' no es un puerto: son numeros del 1 al 65535"},
    {"bad port '(.*)': the range ends before it starts", "'%1': el rango termina antes de empezar"},
    {"bad port '(.*)': more than (\\d+) ports", "'%1': mas de %2 puertos"},
    {"bad port list '(.*)': an empty item", "'%1': falta un puerto"},
};

template <std::size_t N> bool translate(const QString &text, const Translation (&table)[N], QString &translated)
{
    for (const Translation &entry : table) {
        const QRegularExpressionMatch match =
            QRegularExpression(QRegularExpression::anchoredPattern(QString::fromUtf8(entry.english))).match(text);
        if (!match.hasMatch())
            continue;
        // Both at once, so that a '%' typed in a target is never taken for a place of its own.
        const QString spanish = QString::fromUtf8(entry.spanish);
        const QStringList parts = match.capturedTexts().mid(1);
        translated = parts.size() == 2   ? spanish.arg(parts[0], parts[1])
                     : parts.size() == 1 ? spanish.arg(parts[0])
                                         : spanish;
        return true;
    }
    return false;
}
} // namespace

QString SweepMessages::spanish(const std::string &engineText)
{
    const QString text = QString::fromStdString(engineText);
    QString translated;
    static const QRegularExpression aboutTarget("^('[^']*'): (.*)$");
    const QRegularExpressionMatch target = aboutTarget.match(text);
    if (target.hasMatch() && translate(target.captured(2), TargetTranslations, translated))
        return target.captured(1) + ": " + translated;
    if (translate(text, SweepTranslations, translated))
        return translated;
    return "El barrido fallo: " + text;
}
