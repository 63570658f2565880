#pragma once
#include "exchange/ExchangeTestSupport.h"

// Cards written by vobject: folded long lines, escaped ",", ";" and line breaks, UTF-8,
// a card with only a second, one with only a first address, one without any, and a
// group card of each kind.
inline const char* const kVobjectWriter = R"(
import sys, vobject
out = open(sys.argv[1], "w", encoding="utf-8", newline="")
def card(given, family, mails, **kw):
    c = vobject.vCard()
    c.add("n").value = vobject.vcard.Name(family=family, given=given, prefix=kw.get("prefix", ""))
    c.add("fn").value = kw.get("fn", given + " " + family)
    for value, types in mails:
        e = c.add("email"); e.value = value
        if types: e.type_param = types
    if "work" in kw:
        a = c.add("adr"); a.value = vobject.vcard.Address(**kw["work"]); a.type_param = "WORK"
    if "home" in kw:
        a = c.add("adr"); a.value = vobject.vcard.Address(**kw["home"]); a.type_param = "HOME"
    if "org" in kw:
        c.add("org").value = [kw["org"]]
    if "title" in kw:
        c.add("title").value = kw["title"]
    if "note" in kw:
        c.add("note").value = kw["note"]
    for number, types in kw.get("tel", []):
        t = c.add("tel"); t.value = number; t.type_param = types
    for url, types in kw.get("url", []):
        u = c.add("url"); u.value = url; u.type_param = types
    out.write(c.serialize())
card("Jörg", "Müller", [("zweite@example.de", "INTERNET"), ("erste@example.de", ["INTERNET", "PREF"])],
     prefix="Dr.",
     work=dict(street="Hauptstraße 1; Hinterhaus", city="Köln", code="50667", country="Deutschland"),
     home=dict(street="Gartenweg 2", city="Bonn", code="53111", region="NRW"),
     org="Müller, Meier & Söhne", title="Geschäftsführer",
     note="Eine sehr lange Notiz, die über die Zeilenlänge von fünfundsiebzig Zeichen hinausgeht\nund umbricht.",
     tel=[("0221 1", ["WORK", "FAX"]), ("0170 2", ["CELL"]), ("0228 3", ["HOME", "VOICE"])],
     url=[("https://mueller.example", ["WORK"]), ("https://joerg.example", ["HOME"])])
card("Nur", "Zweite", [("", None), ("nur.zweite@example.de", "INTERNET")])
card("Nur", "Erste", [("nur.erste@example.de", "INTERNET")])
card("Ohne", "Adresse", [])
g = vobject.vCard(); g.add("fn").value = "Kollegen"; g.add("kind").value = "group"
g.add("email").value = "liste@example.de"; out.write(g.serialize())
a = vobject.vCard(); a.add("fn").value = "Apple-Gruppe"; a.add("n").value = vobject.vcard.Name(family="Apple-Gruppe")
a.add("x-addressbookserver-kind").value = "group"; a.add("email").value = "apple@example.de"
out.write(a.serialize())
out.close()
)";

// Writes the cards above with vobject, an independent vCard writer.
inline void writeVobjectCards(const QString& path) {
    writeWithPython(QString::fromUtf8(kVobjectWriter), {path});
}
