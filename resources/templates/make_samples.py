#!/usr/bin/python3
"""Makes the five sample newsletters (Vorlagen/Quillon_Bsp1.eml ... Bsp5.eml) and the
empty draft temp/dummy.eml next to this script.

Every picture is drawn here with ImageMagick (shapes, gradients, the system's free DejaVu
and Lato fonts); the messages are written with Python's email package: UTF-8,
quoted-printable texts, base64 images, CR LF line ends. Boundaries, dates and ids are
fixed so a second run gives the same files. The build only ships the results.

    /usr/bin/python3 resources/templates/make_samples.py
"""
import os
import shutil
import subprocess
import sys
import tempfile
from email import policy
from email.message import EmailMessage

HERE = os.path.dirname(os.path.abspath(__file__))
FONTS = '/usr/share/fonts/truetype/'
SANS = FONTS + 'lato/Lato-Regular.ttf'
SANS_BOLD = FONTS + 'lato/Lato-Black.ttf'
SANS_LIGHT = FONTS + 'lato/Lato-Light.ttf'
SERIF = FONTS + 'dejavu/DejaVuSerif.ttf'
SERIF_ITALIC = FONTS + 'dejavu/DejaVuSerif-Italic.ttf'
FONT = 'font-family:Arial,Helvetica,sans-serif;'
WORK = tempfile.mkdtemp(prefix='quillon-samples-')


def magick(name, *args):
    """Runs convert with the arguments and returns the bytes of the written picture."""
    out = os.path.join(WORK, name)
    # No time stamps or tool comments in the files: the same input gives the same bytes.
    subprocess.run(['/usr/bin/convert', *args, '-strip', '-define',
                    'png:exclude-chunks=date,time', out], check=True)
    with open(out, 'rb') as f:
        return f.read()


def text_at(font, size, colour, x, y, text, gravity='NorthWest'):
    return ['-gravity', gravity, '-font', font, '-pointsize', str(size), '-fill', colour,
            '-annotate', '+%d+%d' % (x, y), text.replace('%', '%%')]


def build(number, subject, sender, plain, html, images):
    """images: (cid, file name, subtype, bytes) in the order the HTML shows them."""
    m = EmailMessage(policy=policy.SMTP)
    m['Subject'] = subject
    m['From'] = sender
    m['Date'] = 'Tue, 01 Dec 2026 09:00:00 +0100'
    m['Message-ID'] = '<quillon-bsp%d@example.com>' % number
    m['X-Mailer'] = 'Quillon'
    m.set_content(plain, charset='utf-8', cte='quoted-printable')
    m.add_alternative(html, subtype='html', charset='utf-8', cte='quoted-printable')
    related = m.get_payload()[1]
    for cid, filename, subtype, data in images:
        assert 'cid:' + cid in html, cid
        related.add_related(data, 'image', subtype, cid='<%s>' % cid, filename=filename,
                            disposition='inline')
    m.set_boundary('----=_Quillon_Bsp%d_alt' % number)
    m.get_payload()[1].set_boundary('----=_Quillon_Bsp%d_rel' % number)
    return m.as_bytes(policy=policy.SMTP)


def write(relative, data):
    path = os.path.join(HERE, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)
    print('%-28s %7d Bytes' % (relative, len(data)))


# --- building blocks of the HTML: tables with inline styles, 600 px wide ---------------

def page(title, preheader, body, background='#eeeeee'):
    return ('<!DOCTYPE html>\n<html lang="de">\n<head>\n'
            '<meta http-equiv="Content-Type" content="text/html; charset=utf-8">\n'
            '<meta name="viewport" content="width=device-width, initial-scale=1.0">\n'
            '<title>%s</title>\n</head>\n'
            '<body style="margin:0;padding:0;background-color:%s;">\n'
            '<div style="display:none;max-height:0;overflow:hidden;">%s</div>\n'
            '<table role="presentation" width="100%%" cellpadding="0" cellspacing="0" '
            'border="0" style="background-color:%s;">\n<tr>\n'
            '<td align="center" style="padding:20px 10px;">\n'
            '<table role="presentation" width="600" cellpadding="0" cellspacing="0" '
            'border="0" style="width:600px;max-width:600px;background-color:#ffffff;">\n'
            '%s</table>\n</td>\n</tr>\n</table>\n</body>\n</html>\n'
            % (title, background, preheader, background, body))


def row(content, padding='0 30px', extra=''):
    return '<tr>\n<td style="padding:%s;%s">\n%s\n</td>\n</tr>\n' % (padding, extra, content)


def para(text, size=15, colour='#333333', margin='0 0 14px 0', align='left'):
    return ('<p style="margin:%s;%sfont-size:%dpx;line-height:%dpx;color:%s;'
            'text-align:%s;">%s</p>' % (margin, FONT, size, size + 8, colour, align, text))


def heading(text, size=22, colour='#222222', margin='0 0 12px 0'):
    return ('<h2 style="margin:%s;%sfont-size:%dpx;line-height:%dpx;color:%s;'
            'font-weight:bold;">%s</h2>' % (margin, FONT, size, size + 6, colour, text))


def image(cid, alt, width, height, extra=''):
    return ('<img src="cid:%s" alt="%s" width="%d" height="%d" border="0" '
            'style="display:block;width:%dpx;max-width:100%%;height:auto;border:0;%s">'
            % (cid, alt, width, height, width, extra))


def button(text, url, colour):
    return ('<table role="presentation" cellpadding="0" cellspacing="0" border="0" '
            'style="margin:6px 0 18px 0;">\n<tr>\n'
            '<td align="center" bgcolor="%s" style="border-radius:4px;background-color:%s;">'
            '<a href="%s" target="_blank" style="display:inline-block;padding:12px 26px;'
            '%sfont-size:15px;font-weight:bold;color:#ffffff;text-decoration:none;'
            'border-radius:4px;">%s</a></td>\n</tr>\n</table>' % (colour, colour, url, FONT, text))


def link(text, url, colour='#1a6fb3'):
    return ('<a href="%s" target="_blank" style="color:%s;text-decoration:underline;">%s</a>'
            % (url, colour, text))


def footer(lines, colour='#777777', background='#f4f4f4'):
    return row(''.join(para(l, size=12, colour=colour, margin='0 0 6px 0', align='center')
                       for l in lines), padding='20px 30px', extra='background-color:%s;' % background)


def unsubscribe_line():
    return ('Sie erhalten diese E-Mail an $MAIL, weil Sie unseren Newsletter bestellt haben. '
            + link('Newsletter abbestellen', 'https://www.example.com/newsletter/abmelden', '#777777')
            + ' &middot; ' + link('Datenschutz', 'https://www.example.com/datenschutz', '#777777')
            + ' &middot; ' + link('Impressum', 'https://www.example.com/impressum', '#777777'))


PLAIN_FOOTER = ('\n--\nSie erhalten diese E-Mail an $MAIL, weil Sie unseren Newsletter bestellt '
                'haben.\nAbbestellen: https://www.example.com/newsletter/abmelden\n'
                'Datenschutz: https://www.example.com/datenschutz\n'
                'Impressum: https://www.example.com/impressum\n')


# --- 1: a simple letter ----------------------------------------------------------------

def sample1():
    logo = magick('logo1.png', '-size', '270x64', 'xc:white', '-fill', '#1f4e79',
                  '-draw', 'roundrectangle 0,4 60,60 8,8', '-fill', 'white',
                  *text_at(SERIF, 21, 'white', 5, 18, 'B&P'),
                  *text_at(SERIF, 20, '#1f4e79', 72, 8, 'Becker & Partner'),
                  *text_at(SANS, 12, '#666666', 73, 38, 'Steuerberatung · seit 1998'))
    signature = magick('unterschrift1.png', '-size', '200x60', 'xc:white', '-fill', 'none',
                       '-stroke', '#1f3a68', '-strokewidth', '2.2',
                       '-draw', 'path "M 8,44 C 20,4 30,4 28,30 C 26,50 40,48 52,22 '
                                'C 58,10 62,40 74,36 C 86,32 90,18 100,28 C 108,38 118,40 '
                                '130,24 C 140,12 150,44 166,30 C 174,24 184,20 194,26"',
                       '-draw', 'path "M 40,52 C 90,46 140,48 180,44"')
    plain = ('$FIRMA\n$VORNAME $NAME\n$ORT\n\n$ORT, den $DATUM\n\n'
             'Unsere Kanzlei zieht um\n\n'
             '$ANREDE $NAME,\n\n'
             'nach fast zwanzig Jahren in der Lindenstraße ziehen wir um: Ab dem 1. März '
             'finden Sie uns in hellen, barrierefreien Räumen am Marktplatz 7 – nur wenige '
             'Schritte von unserem bisherigen Büro entfernt.\n\n'
             'Telefonnummern und E-Mail-Adressen bleiben unverändert. In der Umzugswoche vom '
             '24. bis 28. Februar sind wir nur eingeschränkt erreichbar; dringende Anliegen '
             'nehmen wir selbstverständlich trotzdem entgegen.\n\n'
             'Eine Anfahrtsbeschreibung und die neuen Parkmöglichkeiten finden Sie unter\n'
             'https://www.example.com/kanzlei/anfahrt\n\n'
             'Wir freuen uns darauf, Sie bald in unseren neuen Räumen begrüßen zu dürfen.\n\n'
             'Mit freundlichen Grüßen\n\nKatharina Becker\nBecker & Partner Steuerberatung\n'
             'Marktplatz 7 · 12345 Musterstadt · https://www.example.com\n'
             'Diese E-Mail ging an $MAIL.\n')
    body = (row(image('logo.bsp1@example.com', 'Becker &amp; Partner Steuerberatung', 270, 64),
                padding='30px 40px 10px 40px')
            + row('<hr style="border:0;border-top:2px solid #1f4e79;margin:0;">', '0 40px')
            + row(para('$FIRMA<br>$VORNAME $NAME<br>$ORT', size=14, colour='#555555',
                       margin='0'), '24px 40px 0 40px')
            + row(para('$ORT, den $DATUM', size=14, colour='#555555', margin='0',
                       align='right'), '10px 40px 20px 40px')
            + row(heading('Unsere Kanzlei zieht um', 20, '#1f4e79')
                  + para('$ANREDE $NAME,')
                  + para('nach fast zwanzig Jahren in der Lindenstraße ziehen wir um: Ab dem '
                         '<strong>1. März</strong> finden Sie uns in hellen, barrierefreien '
                         'Räumen am <strong>Marktplatz 7</strong> – nur wenige Schritte von '
                         'unserem bisherigen Büro entfernt.')
                  + para('Telefonnummern und E-Mail-Adressen bleiben unverändert. In der '
                         'Umzugswoche vom 24. bis 28. Februar sind wir nur eingeschränkt '
                         'erreichbar; dringende Anliegen nehmen wir selbstverständlich '
                         'trotzdem entgegen.')
                  + para('Eine ' + link('Anfahrtsbeschreibung',
                                        'https://www.example.com/kanzlei/anfahrt')
                         + ' und die neuen Parkmöglichkeiten haben wir für Sie auf unserer '
                         'Internetseite zusammengestellt.')
                  + para('Wir freuen uns darauf, Sie bald in unseren neuen Räumen begrüßen '
                         'zu dürfen.')
                  + para('Mit freundlichen Grüßen', margin='0 0 4px 0')
                  + image('unterschrift.bsp1@example.com', 'Unterschrift Katharina Becker',
                          200, 60)
                  + para('Katharina Becker<br>Becker &amp; Partner Steuerberatung',
                         margin='4px 0 24px 0'), '0 40px')
            + footer(['Becker &amp; Partner Steuerberatung · Marktplatz 7 · 12345 Musterstadt · '
                      + link('www.example.com', 'https://www.example.com', '#777777'),
                      'Diese E-Mail ging an $MAIL.']))
    html = page('Unsere Kanzlei zieht um', 'Ab dem 1. März finden Sie uns am Marktplatz 7.',
                body)
    return build(1, 'Wir ziehen um – neue Adresse ab 1. März', 'Becker & Partner '
                 '<kanzlei@example.com>', plain, html,
                 [('logo.bsp1@example.com', 'logo.png', 'png', logo),
                  ('unterschrift.bsp1@example.com', 'unterschrift.png', 'png', signature)])


# --- 2: a product offer with images -----------------------------------------------------

def sample2():
    banner = magick('banner2.png', '-size', '600x220', 'gradient:#f6a04d-#7a3b12',
                    '-rotate', '-90', '-resize', '600x220!',
                    '-fill', '#ffffff22', '-draw', 'circle 520,40 600,40',
                    '-fill', '#ffffff18', '-draw', 'circle 470,200 540,200',
                    *text_at(SANS_BOLD, 44, 'white', 30, 44, 'Frühlingsangebote'),
                    *text_at(SANS_LIGHT, 24, '#fff3e0', 32, 104, 'Frisch geröstet – bis zu 20 % günstiger'),
                    '-fill', '#ffffff', '-draw', 'roundrectangle 32,150 230,190 6,6',
                    *text_at(SANS_BOLD, 18, '#7a3b12', 46, 159, 'Nur bis 30. April'))

    def product(name, *drawing):
        return magick(name, '-size', '180x180', 'xc:#fdf6ee', '-stroke', 'none', *drawing)
    bag = product('bohnen2.png', '-fill', '#6b3e26', '-draw', 'polygon 45,40 135,40 145,165 35,165',
                  '-fill', '#8a5334', '-draw', 'polygon 45,40 135,40 128,28 52,28',
                  '-fill', '#f3e3c8', '-draw', 'roundrectangle 55,80 125,130 6,6',
                  '-fill', '#6b3e26', '-draw', 'ellipse 78,105 9,13 0,360',
                  '-draw', 'ellipse 102,105 9,13 0,360',
                  '-stroke', '#f3e3c8', '-strokewidth', '2', '-draw', 'line 78,93 78,117',
                  '-draw', 'line 102,93 102,117')
    cup = product('tasse2.png', '-fill', '#d9d9d9', '-draw', 'ellipse 90,150 70,14 0,360',
                  '-fill', '#ffffff', '-stroke', '#b07a50', '-strokewidth', '3',
                  '-draw', 'roundrectangle 45,70 125,145 14,14',
                  '-fill', 'none', '-strokewidth', '8', '-draw', 'arc 110,85 150,125 -90,90',
                  '-stroke', 'none', '-fill', '#5a3420', '-draw', 'ellipse 85,72 40,8 0,360',
                  '-fill', 'none', '-stroke', '#c9a88a', '-strokewidth', '3',
                  '-draw', 'path "M 70,58 C 60,45 80,38 70,22"',
                  '-draw', 'path "M 95,58 C 85,45 105,38 95,22"')
    mill = product('muehle2.png', '-fill', '#8b5a2b', '-draw', 'rectangle 50,80 130,160',
                   '-fill', '#a26a35', '-draw', 'rectangle 44,70 136,84',
                   '-fill', '#444444', '-draw', 'polygon 60,70 120,70 108,44 72,44',
                   '-draw', 'rectangle 86,22 94,44', '-draw', 'rectangle 90,22 140,28',
                   '-fill', '#222222', '-draw', 'circle 140,25 146,25',
                   '-fill', '#5c3a1a', '-draw', 'rectangle 70,115 110,140',
                   '-fill', '#d9b38c', '-draw', 'circle 90,127 94,127')
    products = [
        ('bohnen.bsp2@example.com', 'bohnen.png', bag, 'Espresso „Sonnenaufgang“',
         '1 kg ganze Bohnen, kräftig und schokoladig, aus unserer eigenen Röstung.',
         '18,90 €', '23,50 €', 'https://www.example.com/shop/espresso-sonnenaufgang'),
        ('tasse.bsp2@example.com', 'tasse.png', cup, 'Cappuccino-Tassen, 4er-Set',
         'Dickwandiges Porzellan, spülmaschinenfest, 180 ml – hält den Kaffee lange warm.',
         '24,00 €', '29,90 €', 'https://www.example.com/shop/tassen-set'),
        ('muehle.bsp2@example.com', 'muehle.png', mill, 'Handmühle „Klassik“',
         'Buchenholz und Kegelmahlwerk aus Stahl, Mahlgrad stufenlos einstellbar.',
         '39,00 €', '49,00 €', 'https://www.example.com/shop/handmuehle-klassik'),
    ]
    cells = ''
    plain_items = ''
    for cid, filename, _, title, text, price, old, url in products:
        cells += ('<tr>\n<td width="180" valign="top" style="padding:0 0 24px 0;">'
                  + '<a href="%s" target="_blank">' % url + image(cid, title, 180, 180) + '</a>'
                  + '</td>\n<td valign="top" style="padding:10px 0 24px 20px;">'
                  + heading(title, 18, '#5a2e0e', '0 0 8px 0') + para(text, 14)
                  + para('<span style="text-decoration:line-through;color:#999999;">%s</span> '
                         '&nbsp;<strong style="font-size:20px;color:#c0392b;">%s</strong>'
                         % (old, price), margin='0 0 6px 0')
                  + button('Jetzt bestellen', url, '#c0392b') + '</td>\n</tr>\n')
        plain_items += '* %s – %s statt %s\n  %s\n  %s\n\n' % (title, price, old, text, url)
    body = (row(image('banner.bsp2@example.com', 'Frühlingsangebote – frisch geröstet, bis zu 20 % '
                      'günstiger', 600, 220), '0')
            + row(para('$ANREDE $NAME,', margin='24px 0 14px 0')
                  + para('der Frühling ist da – und mit ihm die neue Ernte aus Kolumbien und '
                         'Äthiopien. Für unsere Stammkunden haben wir drei Lieblinge im Preis '
                         'gesenkt. Das Angebot gilt bis zum 30. April oder solange der Vorrat '
                         'reicht.'), '0 30px')
            + row('<table role="presentation" width="100%" cellpadding="0" cellspacing="0" '
                  'border="0">\n' + cells + '</table>', '10px 30px 0 30px')
            + row('<table role="presentation" width="100%" cellpadding="0" cellspacing="0" '
                  'border="0" style="background-color:#fdf6ee;border:1px dashed #c9a88a;">\n'
                  '<tr>\n<td style="padding:16px 20px;">'
                  + para('<strong>Ihr Gutscheincode:</strong> FRUEHLING26 – versandkostenfrei '
                         'ab 30 € für $FIRMA und alle Bestellungen bis zum 30. April.',
                         margin='0', align='center') + '</td>\n</tr>\n</table>',
                  '0 30px 24px 30px')
            + row(para('Herzliche Grüße aus der Rösterei<br>Ihr Team der Kaffeerösterei '
                       'Bohnenglück'), '0 30px 10px 30px')
            + footer(['Kaffeerösterei Bohnenglück · Hafenweg 3 · 12345 Musterstadt',
                      unsubscribe_line()]))
    html = page('Frühlingsangebote', 'Frisch geröstet – drei Lieblinge bis zu 20 % günstiger.',
                body, '#f3ebe2')
    plain = ('Frühlingsangebote – frisch geröstet, bis zu 20 % günstiger\n\n'
             '$ANREDE $NAME,\n\n'
             'der Frühling ist da – und mit ihm die neue Ernte aus Kolumbien und Äthiopien. '
             'Für unsere Stammkunden haben wir drei Lieblinge im Preis gesenkt. Das Angebot '
             'gilt bis zum 30. April oder solange der Vorrat reicht.\n\n' + plain_items
             + 'Ihr Gutscheincode: FRUEHLING26 – versandkostenfrei ab 30 € für $FIRMA und alle '
             'Bestellungen bis zum 30. April.\n\nHerzliche Grüße aus der Rösterei\n'
             'Ihr Team der Kaffeerösterei Bohnenglück\n' + PLAIN_FOOTER)
    return build(2, 'Frühlingsangebote: bis zu 20 % auf frisch gerösteten Kaffee',
                 'Kaffeerösterei Bohnenglück <angebote@example.com>', plain, html,
                 [('banner.bsp2@example.com', 'banner.png', 'png', banner)]
                 + [(p[0], p[1], 'png', p[2]) for p in products])


# --- 3: an event invitation -------------------------------------------------------------

def sample3():
    banner = magick('banner3.png', '-size', '220x600', 'gradient:#2c3e91-#8e44ad',
                    '-rotate', '-90',
                    '-fill', '#ffffff20', '-draw', 'circle 60,30 110,30',
                    '-draw', 'circle 540,190 600,190', '-fill', '#f1c40f',
                    '-draw', 'polygon 550,14 556,30 573,30 559,40 564,56 550,46 536,56 541,40 527,30 544,30',
                    *text_at(SANS_LIGHT, 26, '#e8e0ff', 0, 44, 'Herzliche Einladung', 'North'),
                    *text_at(SANS_BOLD, 46, 'white', 0, 84, 'Tag der offenen Tür', 'North'),
                    *text_at(SANS, 22, '#f1c40f', 0, 150, 'Samstag, 13. Juni · 10 bis 17 Uhr', 'North'))
    calendar = magick('kalender3.png', '-size', '120x120', 'xc:white', '-stroke', 'none',
                      '-fill', '#dddddd', '-draw', 'roundrectangle 14,18 110,112 10,10',
                      '-fill', '#ffffff', '-draw', 'roundrectangle 10,14 106,108 10,10',
                      '-fill', '#8e44ad', '-draw', 'roundrectangle 10,14 106,44 10,10',
                      '-draw', 'rectangle 10,34 106,44',
                      '-fill', '#555555', '-draw', 'roundrectangle 30,6 36,24 3,3',
                      '-draw', 'roundrectangle 80,6 86,24 3,3',
                      *text_at(SANS_BOLD, 16, 'white', -2, 22, 'JUNI', 'North'),
                      *text_at(SANS_BOLD, 44, '#2c3e91', -2, 50, '13', 'North'))
    route = magick('anfahrt3.png', '-size', '260x160', 'xc:#eef3e6',
                   '-fill', '#cfe3b5', '-draw', 'rectangle 0,0 90,60', '-draw', 'rectangle 170,100 260,160',
                   '-fill', '#a9cde8', '-draw', 'path "M 0,130 C 60,110 90,150 150,135 L 150,160 L 0,160 Z"',
                   '-stroke', '#ffffff', '-strokewidth', '12', '-draw', 'line 0,80 260,80',
                   '-draw', 'line 130,0 130,160', '-strokewidth', '6', '-draw', 'line 130,40 260,20',
                   '-stroke', '#f39c12', '-strokewidth', '2', '-draw', 'line 0,80 260,80',
                   '-stroke', 'none', '-fill', '#c0392b', '-draw', 'circle 190,56 200,56',
                   '-draw', 'polygon 181,61 199,61 190,80', '-fill', 'white',
                   '-draw', 'circle 190,56 194,56',
                   *text_at(SANS_BOLD, 12, '#333333', 150, 92, 'Werkstraße 12'),
                   *text_at(SANS, 11, '#555555', 8, 64, 'Bahnhof 5 min'),
                   '-fill', '#555555', '-draw', 'rectangle 8,8 36,26',
                   *text_at(SANS_BOLD, 12, 'white', 15, 10, 'P'))
    details = [('Wann', 'Samstag, 13. Juni, 10:00 bis 17:00 Uhr'),
               ('Wo', 'Beispiel Werkstätten, Werkstraße 12, 12345 Musterstadt'),
               ('Programm', 'Werksführungen zu jeder vollen Stunde, Mitmach-Werkstatt für '
                            'Kinder, Vorträge um 11 und 15 Uhr'),
               ('Für Ihr Wohl', 'Kaffee, Kuchen und Gegrilltes – Sie sind unser Gast'),
               ('Anmeldung', 'bis zum 5. Juni, gern mit Begleitung')]
    rows = ''.join('<tr>\n<td width="120" valign="top" style="padding:8px 10px 8px 0;'
                   'border-bottom:1px solid #e5e0ef;%sfont-size:14px;font-weight:bold;'
                   'color:#5b2c83;">%s</td>\n<td valign="top" style="padding:8px 0;'
                   'border-bottom:1px solid #e5e0ef;%sfont-size:14px;line-height:20px;'
                   'color:#333333;">%s</td>\n</tr>\n' % (FONT, k, FONT, v) for k, v in details)
    body = (row(image('banner.bsp3@example.com', 'Herzliche Einladung zum Tag der offenen Tür '
                      'am Samstag, 13. Juni', 600, 220), '0')
            + row('<table role="presentation" width="100%" cellpadding="0" cellspacing="0" '
                  'border="0">\n<tr>\n<td width="120" valign="top" style="padding:0 20px 0 0;">'
                  + image('kalender.bsp3@example.com', 'Samstag, 13. Juni', 120, 120)
                  + '</td>\n<td valign="top">' + para('$ANREDE $NAME,')
                  + para('wir öffnen unsere Türen! Erleben Sie, wie bei uns aus Holz, Metall '
                         'und viel Handarbeit Möbel für Büro und Zuhause entstehen, sprechen '
                         'Sie mit unseren Meisterinnen und Meistern und probieren Sie selbst '
                         'Hobel und Schnitzmesser aus.')
                  + '</td>\n</tr>\n</table>', '28px 30px 10px 30px')
            + row('<table role="presentation" width="100%" cellpadding="0" cellspacing="0" '
                  'border="0">\n' + rows + '</table>', '0 30px 20px 30px')
            + row('<table role="presentation" cellpadding="0" cellspacing="0" border="0" '
                  'align="center">\n<tr>\n<td>'
                  + button('Ich komme gern', 'https://www.example.com/tag-der-offenen-tuer/zusage',
                           '#8e44ad') + '</td>\n<td style="padding-left:12px;">'
                  + button('Leider verhindert',
                           'https://www.example.com/tag-der-offenen-tuer/absage', '#95a5a6')
                  + '</td>\n</tr>\n</table>', '0 30px')
            + row('<table role="presentation" width="100%" cellpadding="0" cellspacing="0" '
                  'border="0">\n<tr>\n<td width="260" valign="top">'
                  + image('anfahrt.bsp3@example.com', 'Lageplan: Werkstraße 12, Parkplatz am '
                          'Eingang, Bahnhof fünf Minuten zu Fuß', 260, 160)
                  + '</td>\n<td valign="top" style="padding-left:20px;">'
                  + heading('Anfahrt', 18, '#5b2c83', '0 0 8px 0')
                  + para('Kostenlose Parkplätze direkt am Eingang. Vom Bahnhof sind es fünf '
                         'Minuten zu Fuß, ab 10 Uhr pendelt außerdem unser Shuttle.', 14)
                  + para(link('Lageplan und Fahrplan ansehen',
                              'https://www.example.com/tag-der-offenen-tuer/anfahrt'), 14)
                  + '</td>\n</tr>\n</table>', '10px 30px 20px 30px')
            + row(para('Wir freuen uns auf Ihren Besuch – gern auch mit Kolleginnen und '
                       'Kollegen von $FIRMA aus $ORT.')
                  + para('Herzliche Grüße<br>Ihr Team der Beispiel Werkstätten',
                         margin='0 0 24px 0'), '0 30px')
            + footer(['Beispiel Werkstätten GmbH · Werkstraße 12 · 12345 Musterstadt',
                      unsubscribe_line()]))
    html = page('Einladung zum Tag der offenen Tür',
                'Samstag, 13. Juni, 10 bis 17 Uhr – wir freuen uns auf Sie!', body, '#ece8f3')
    plain = ('Herzliche Einladung zum Tag der offenen Tür\n\n$ANREDE $NAME,\n\n'
             'wir öffnen unsere Türen! Erleben Sie, wie bei uns aus Holz, Metall und viel '
             'Handarbeit Möbel für Büro und Zuhause entstehen, sprechen Sie mit unseren '
             'Meisterinnen und Meistern und probieren Sie selbst Hobel und Schnitzmesser aus.'
             '\n\n' + ''.join('%s: %s\n' % d for d in details)
             + '\nIch komme gern: https://www.example.com/tag-der-offenen-tuer/zusage\n'
             'Leider verhindert: https://www.example.com/tag-der-offenen-tuer/absage\n'
             'Anfahrt: https://www.example.com/tag-der-offenen-tuer/anfahrt\n\n'
             'Wir freuen uns auf Ihren Besuch – gern auch mit Kolleginnen und Kollegen von '
             '$FIRMA aus $ORT.\n\nHerzliche Grüße\nIhr Team der Beispiel Werkstätten\n'
             + PLAIN_FOOTER)
    return build(3, 'Einladung: Tag der offenen Tür am 13. Juni',
                 'Beispiel Werkstätten <einladung@example.com>', plain, html,
                 [('banner.bsp3@example.com', 'einladung.png', 'png', banner),
                  ('kalender.bsp3@example.com', 'kalender.png', 'png', calendar),
                  ('anfahrt.bsp3@example.com', 'anfahrt.png', 'png', route)])


# --- 4: a newsletter with several articles and links ------------------------------------

def photo(name, size, colours, seed, *drawing):
    """A photo-like picture: a soft plasma background with shapes on it, as JPEG."""
    # A little film grain, as a camera's picture has; it also gives the file a photo's size.
    return magick(name, '-seed', str(seed), '-size', size, 'plasma:' + colours,
                  '-blur', '0x2', '-modulate', '100,45', *drawing, '-attenuate', '0.4', '+noise', 'Gaussian',
                  '-quality', '92', '-sampling-factor', '1x1')


ARTICLES = [
    ('Der Garten erwacht: Was jetzt zu tun ist', 'Gartenpraxis',
     ['Sobald der Boden nicht mehr gefroren ist, beginnt die schönste Zeit des Gartenjahres. '
      'Lockern Sie die Beete mit der Grabegabel, statt sie umzugraben: So bleibt das '
      'Bodenleben in seinen Schichten, und die Regenwürmer danken es Ihnen mit krümeliger '
      'Erde. Eine dünne Schicht reifer Kompost liefert alles, was Gemüse und Stauden für '
      'den Start brauchen.',
      'Stauden, die im Herbst stehen geblieben sind, schneiden Sie jetzt handbreit über dem '
      'Boden ab. Die hohlen Stängel haben Wildbienen und Marienkäfern als Winterquartier '
      'gedient – legen Sie das Schnittgut deshalb noch ein paar Wochen in eine ruhige Ecke, '
      'bevor es auf den Kompost wandert.'],
     'https://www.example.com/gartenbrief/fruehjahrsputz'),
    ('Tomaten vorziehen – so gelingt es auf der Fensterbank', 'Gemüse',
     ['Tomaten brauchen Wärme und viel Licht. Säen Sie ab Mitte März in kleine Töpfe mit '
      'Anzuchterde und stellen Sie diese an das hellste Fenster. Bei 22 bis 25 Grad keimen '
      'die Samen nach etwa einer Woche. Werden die Sämlinge lang und dünn, fehlt Licht: '
      'Dann hilft ein kühlerer Platz, an dem sie langsamer wachsen.',
      'Sobald sich das erste echte Blattpaar zeigt, wird pikiert. Setzen Sie die Pflänzchen '
      'dabei ruhig tiefer als zuvor – Tomaten bilden am Stängel neue Wurzeln und stehen '
      'danach umso fester. Ins Freie dürfen sie erst nach den Eisheiligen Mitte Mai.'],
     'https://www.example.com/gartenbrief/tomaten-vorziehen'),
    ('Kräuter für Balkon und Küche', 'Kräuter',
     ['Schnittlauch, Petersilie und Thymian wachsen auch auf dem kleinsten Balkon. Wichtig '
      'ist ein Kasten mit Abzugslöchern und eine durchlässige Erde; mediterrane Kräuter wie '
      'Rosmarin und Salbei mögen es zudem mager und sonnig. Gießen Sie lieber seltener und '
      'dafür gründlich, damit die Wurzeln in die Tiefe wachsen.',
      'Ernten Sie regelmäßig von oben: Das regt die Pflanzen an, sich zu verzweigen, und '
      'Basilikum bildet später Blüten. Überschüssige Kräuter lassen sich fein gehackt mit '
      'etwas Öl in Eiswürfelformen einfrieren – so schmeckt der Sommer auch im Winter.'],
     'https://www.example.com/gartenbrief/balkonkraeuter'),
    ('Ein Paradies für Bienen und Schmetterlinge', 'Naturgarten',
     ['Ein insektenfreundlicher Garten braucht keine große Fläche. Schon ein Quadratmeter '
      'Wildblumenwiese, ein paar ungefüllte Blüten im Staudenbeet und eine flache '
      'Wasserschale mit Steinen als Landeplatz helfen Wildbienen, Hummeln und Faltern durch '
      'die Saison. Achten Sie darauf, dass vom Frühjahr bis zum Herbst immer etwas blüht.',
      'Unsere Empfehlung für den Anfang: Krokusse und Traubenhyazinthen für den März, '
      'Lavendel und Katzenminze für den Sommer, Fetthenne und Astern für den Herbst. In '
      'unserer Gärtnerei erkennen Sie besonders bienenfreundliche Pflanzen am gelben Schild.'],
     'https://www.example.com/gartenbrief/bienenfreundlich'),
    ('Rasenpflege ohne Chemie', 'Gartenpraxis',
     ['Ein dichter Rasen entsteht durch regelmäßiges Mähen, nicht durch Dünger allein. '
      'Schneiden Sie im Frühjahr nicht tiefer als vier Zentimeter und lassen Sie das '
      'Schnittgut bei trockenem Wetter als Mulch liegen. Moos ist meist ein Zeichen für '
      'Schatten, Nässe oder einen verdichteten Boden – Vertikutieren allein behebt die '
      'Ursache nicht.',
      'Kahle Stellen säen Sie ab April nach, wenn der Boden über zehn Grad warm ist. '
      'Rechen Sie die Saat leicht ein, walzen oder treten Sie sie an und halten Sie die '
      'Fläche zwei Wochen lang feucht. Wer mag, lässt eine Ecke für Gänseblümchen und Klee '
      'stehen.'],
     'https://www.example.com/gartenbrief/rasenpflege'),
    ('Regenwasser sammeln und sparen', 'Nachhaltigkeit',
     ['Regenwasser ist kalkarm, kostet nichts und ist für Pflanzen besser verträglich als '
      'Leitungswasser. Eine Regentonne am Fallrohr füllt sich nach einem kräftigen Schauer '
      'schnell; mit einem Regensammler samt Überlaufstopp läuft sie nie über. Decken Sie '
      'die Tonne ab, damit Kinder und Tiere sicher sind und sich keine Mücken ansiedeln.',
      'Gießen Sie am frühen Morgen direkt an die Wurzeln. Eine Mulchschicht aus Rasenschnitt '
      'oder Laub hält die Feuchtigkeit im Boden und spart bis zur Hälfte des Gießwassers.'],
     'https://www.example.com/gartenbrief/regenwasser'),
    ('Kompost: Aus Resten wird schwarzes Gold', 'Nachhaltigkeit',
     ['Ein guter Kompost braucht eine Mischung aus feuchten, stickstoffreichen Abfällen wie '
      'Gemüseresten und Rasenschnitt und trockenen, groben Materialien wie Laub, Häckselgut '
      'und Pappe. Schichten Sie beides im Wechsel und setzen Sie den Haufen auf offenen '
      'Boden, damit Würmer und Kleinstlebewesen einwandern können.',
      'Nach etwa einem Jahr ist die Erde reif: dunkel, krümelig und mit dem Duft von '
      'Waldboden. Sieben Sie sie für Aussaaten fein aus; groben Kompost arbeiten Sie als '
      'Mulch unter Sträuchern und Beerenobst ein.'],
     'https://www.example.com/gartenbrief/kompost'),
    ('Aus unserer Gärtnerei: Neue Sorten im Sortiment', 'In eigener Sache',
     ['In diesem Jahr haben wir zwölf alte Tomatensorten in unser Sortiment aufgenommen, '
      'darunter die gelbe Birnentomate und eine fast schwarze Fleischtomate aus der Ukraine. '
      'Alle Jungpflanzen ziehen wir in unseren eigenen Gewächshäusern ohne Torf und mit '
      'Nützlingen statt Spritzmitteln.',
      'Ab dem 20. April stehen die ersten Pflanzen für Sie bereit. Wer sich seine '
      'Lieblingssorten sichern möchte, kann sie schon jetzt in unserem Online-Laden '
      'vorbestellen und zu einem Wunschtermin abholen.'],
     'https://www.example.com/shop/tomaten-jungpflanzen'),
    ('Werkzeug richtig pflegen', 'Gartenpraxis',
     ['Scharfe Scheren und Spaten schonen nicht nur Ihre Kräfte, sondern auch die Pflanzen: '
      'Glatte Schnitte verheilen schneller und bieten Pilzen weniger Angriffsfläche. '
      'Reinigen Sie Klingen nach der Arbeit, ölen Sie Gelenke gelegentlich und schleifen Sie '
      'stumpfe Schneiden mit einem feinen Wetzstein nach.',
      'Holzstiele bleiben geschmeidig, wenn Sie sie einmal im Jahr mit Leinöl einreiben. In '
      'unserer Werkstatt schärfen wir Ihre Gartenscheren übrigens jeden Samstag kostenlos.'],
     'https://www.example.com/gartenbrief/werkzeugpflege'),
    ('Rezept des Monats: Bärlauch-Pesto', 'Aus der Küche',
     ['Im April duftet es in feuchten Laubwäldern nach Knoblauch: Der Bärlauch ist da. '
      'Für ein Glas Pesto pürieren Sie 100 Gramm gewaschene Blätter mit 50 Gramm gerösteten '
      'Sonnenblumenkernen, 50 Gramm geriebenem Bergkäse, einer Prise Salz und etwa 150 '
      'Millilitern Rapsöl.',
      'Verwechseln Sie Bärlauch beim Sammeln nicht mit Maiglöckchen oder Herbstzeitlosen: '
      'Nur Bärlauch riecht beim Zerreiben deutlich nach Knoblauch. Noch sicherer ist er aus '
      'dem eigenen Beet – Pflanzen haben wir vorrätig.'],
     'https://www.example.com/gartenbrief/baerlauch-pesto'),
    ('Beerenobst pflanzen und schneiden', 'Obst',
     ['Johannisbeeren, Stachelbeeren und Himbeeren tragen schon im zweiten Jahr nach der '
      'Pflanzung. Setzen Sie Sträucher an einen sonnigen Platz mit humusreichem Boden und '
      'pflanzen Sie Johannisbeeren etwas tiefer, als sie im Topf standen: So treiben sie '
      'aus dem Boden neue, kräftige Ruten.',
      'Beim Schnitt gilt die Faustregel: Alte, dunkle Triebe bodennah entfernen, junge, '
      'helle stehen lassen. Sommerhimbeeren schneiden Sie nach der Ernte, Herbsthimbeeren '
      'im Spätwinter komplett herunter.'],
     'https://www.example.com/gartenbrief/beerenobst'),
    ('Hochbeet anlegen: Schicht für Schicht', 'Gemüse',
     ['Ein Hochbeet schont den Rücken und wärmt sich im Frühjahr schneller auf als der '
      'Gartenboden. Unten schützt ein engmaschiges Gitter vor Wühlmäusen, darauf folgen '
      'grobe Äste, Häckselgut, umgedrehte Grassoden, Laub, halbreifer Kompost und zuletzt '
      'eine Handbreit gute Pflanzerde.',
      'Im ersten Jahr setzt die Verrottung viele Nährstoffe frei: Ideal für Starkzehrer wie '
      'Zucchini, Kohl und Tomaten. Ab dem dritten Jahr pflanzen Sie Salate und Kräuter, die '
      'mit weniger auskommen, und füllen jedes Frühjahr etwas Kompost nach.'],
     'https://www.example.com/gartenbrief/hochbeet'),
    ('Schnecken ohne Gift fernhalten', 'Pflanzenschutz',
     ['Nach einem feuchten Frühjahr haben Schnecken leichtes Spiel. Gießen Sie morgens statt '
      'abends, damit der Boden zur Nacht abgetrocknet ist, und sammeln Sie die Tiere in der '
      'Dämmerung ab. Ein Schneckenzaun um das Gemüsebeet hält zuverlässig ab; Bretter auf '
      'dem Beet dienen als Versteck, unter dem Sie morgens nachsehen können.',
      'Igel, Kröten und Laufkäfer sind die besten Helfer gegen Schnecken. Ein Laubhaufen und '
      'eine wilde Ecke im Garten laden sie zum Bleiben ein.'],
     'https://www.example.com/gartenbrief/schnecken'),
]

SOWING = [
    ('Radieschen', 'März bis September', 'direkt ins Beet', '4 bis 6 Wochen'),
    ('Möhren', 'März bis Juni', 'direkt ins Beet, dünn säen', '12 bis 16 Wochen'),
    ('Erbsen', 'März bis Mai', 'direkt ins Beet, Rankhilfe', '10 bis 12 Wochen'),
    ('Pflücksalat', 'März bis August', 'Schale oder Beet', '6 bis 8 Wochen'),
    ('Tomaten', 'März bis April', 'Fensterbank, ab Mitte Mai ins Freie', '16 bis 20 Wochen'),
    ('Paprika', 'Februar bis März', 'Fensterbank, sehr warm', '20 bis 24 Wochen'),
    ('Zucchini', 'April bis Mai', 'Topf, ab Mitte Mai ins Freie', '8 bis 10 Wochen'),
    ('Buschbohnen', 'Mai bis Juli', 'direkt ins Beet, nach den Eisheiligen', '8 bis 10 Wochen'),
    ('Kürbis', 'April bis Mai', 'Topf, ab Mitte Mai ins Freie', '16 bis 20 Wochen'),
    ('Mangold', 'April bis Juli', 'direkt ins Beet', '8 bis 12 Wochen'),
    ('Spinat', 'März bis April, August', 'direkt ins Beet', '6 bis 8 Wochen'),
    ('Basilikum', 'April bis Mai', 'Fensterbank, Lichtkeimer', '8 bis 10 Wochen'),
]

EVENTS = [
    ('Sa, 4. April', '10:00', 'Obstbaumschnitt für Einsteiger', 'Schaugarten'),
    ('Sa, 11. April', '14:00', 'Kräuterspirale selbst bauen', 'Schaugarten'),
    ('Mi, 15. April', '18:30', 'Vortrag: Gärtnern ohne Torf', 'Gewächshaus 2'),
    ('Sa, 18. April', '10:00', 'Pflanzentauschbörse', 'Hof der Gärtnerei'),
    ('Sa, 25. April', '11:00', 'Kinderwerkstatt: Nisthilfen bauen', 'Werkstatt'),
    ('Do, 30. April', '17:00', 'Abendführung durch die Gewächshäuser', 'Eingang'),
    ('Sa, 9. Mai', '10:00', 'Balkonkästen bepflanzen', 'Schaugarten'),
    ('Sa, 16. Mai', '09:00', 'Großer Jungpflanzenmarkt', 'ganzes Gelände'),
    ('Mi, 20. Mai', '18:30', 'Vortrag: Wildbienen im Garten', 'Gewächshaus 2'),
    ('Sa, 30. Mai', '14:00', 'Rosen richtig pflegen', 'Rosengarten'),
    ('Sa, 6. Juni', '10:00', 'Sommerschnitt an Obstbäumen', 'Obstwiese'),
    ('Mi, 10. Juni', '18:30', 'Vortrag: Gemüse in Mischkultur', 'Gewächshaus 2'),
    ('Sa, 13. Juni', '14:00', 'Stauden teilen und vermehren', 'Schaugarten'),
    ('So, 21. Juni', '11:00', 'Sommerfest mit Gartenführung', 'ganzes Gelände'),
]

NEWS = [
    ('Öffnungszeiten', 'Ab April sind wir montags bis samstags von 8 bis 19 Uhr für Sie da.',
     'https://www.example.com/oeffnungszeiten'),
    ('Lieferservice', 'Große Pflanzen und Erde liefern wir im Umkreis von 20 km frei Haus.',
     'https://www.example.com/lieferservice'),
    ('Gutscheine', 'Verschenken Sie Gartenglück – unsere Gutscheine gibt es jetzt auch online.',
     'https://www.example.com/shop/gutscheine'),
    ('Ausbildung', 'Wir suchen zum 1. August eine Auszubildende oder einen Auszubildenden '
     'zur Gärtnerin oder zum Gärtner.', 'https://www.example.com/karriere'),
    ('Pflanzendoktor', 'Jeden Donnerstag von 15 bis 18 Uhr beraten wir Sie bei kranken '
     'Pflanzen – bringen Sie einfach ein Blatt mit.', 'https://www.example.com/pflanzendoktor'),
    ('Gartenwissen', 'Alle bisherigen Ausgaben unseres Gartenbriefs finden Sie im Archiv.',
     'https://www.example.com/gartenbrief/archiv'),
    ('Erde und Mulch', 'Unsere torffreie Pflanzerde mischen wir selbst – auch lose zum '
     'Selbstabfüllen, bringen Sie einfach Ihre Säcke mit.', 'https://www.example.com/shop/erde'),
    ('Gartenplanung', 'Sie planen einen neuen Garten? Wir kommen zu Ihnen und entwerfen '
     'gemeinsam mit Ihnen Beete, Wege und Pflanzungen.', 'https://www.example.com/gartenplanung'),
]


def sample4():
    header = photo('kopf4.jpg', '600x280', '#5d9b3a-#c9e7a0', 4,
                   '-fill', '#00000055', '-draw', 'rectangle 0,170 600,280',
                   '-fill', '#f2c14e', '-stroke', '#e0a82e', '-strokewidth', '2',
                   '-draw', 'circle 520,60 556,60', '-stroke', 'none',
                   *text_at(SANS_BOLD, 46, 'white', 30, 178, 'Der Gartenbrief'),
                   *text_at(SANS, 20, '#eaf5dc', 32, 234, 'Ausgabe April · Gärtnerei Sonnenhof'))
    tomato = photo('tomate4.jpg', '290x220', '#f3e9d2-#d9c7a0', 7,
                   '-fill', '#2e7d32', '-draw', 'rectangle 140,10 148,60',
                   '-fill', '#c62828', '-draw', 'circle 145,130 145,55',
                   '-fill', '#e53935', '-draw', 'circle 130,115 130,70',
                   '-fill', '#ffffff66', '-draw', 'ellipse 115,95 14,22 0,360',
                   '-fill', '#388e3c',
                   '-draw', 'polygon 145,55 120,40 135,62 105,62 140,70 130,88 150,70 170,86 160,66 188,60 155,58 170,38',
                   '-fill', '#b71c1c', '-draw', 'circle 235,175 235,140',
                   '-fill', '#d32f2f', '-draw', 'circle 55,180 55,150')
    flower = photo('blume4.jpg', '290x220', '#8fc7e8-#e3f2fb', 11,
                   '-fill', '#4caf50', '-draw', 'rectangle 142,110 150,220',
                   '-draw', 'ellipse 120,175 26,9 30,390',
                   '-fill', '#ab47bc', '-draw', 'circle 146,60 146,30', '-draw', 'circle 176,84 176,54',
                   '-draw', 'circle 166,122 166,92', '-draw', 'circle 126,122 126,92',
                   '-draw', 'circle 116,84 116,54', '-fill', '#fdd835', '-draw', 'circle 146,92 146,72',
                   '-fill', '#fbc02d', '-draw', 'ellipse 225,60 16,11 0,360',
                   '-fill', '#212121', '-draw', 'rectangle 219,50 223,70', '-draw', 'rectangle 229,50 233,70',
                   '-fill', '#ffffffaa', '-draw', 'ellipse 220,44 10,7 0,360',
                   '-draw', 'ellipse 234,44 10,7 0,360')
    images = {0: ('tomate.bsp4@example.com', 'Reife Tomaten am Strauch', tomato),
              3: ('blume.bsp4@example.com', 'Eine Biene an einer violetten Blüte', flower)}
    nav = ' &nbsp;|&nbsp; '.join(
        link(t, u, '#2e7d32') for t, u in (
            ('Gartenpraxis', 'https://www.example.com/gartenbrief/gartenpraxis'),
            ('Gemüse', 'https://www.example.com/gartenbrief/gemuese'),
            ('Termine', 'https://www.example.com/termine'),
            ('Online-Laden', 'https://www.example.com/shop')))
    toc = ''.join('<li style="margin:0 0 6px 0;%sfont-size:14px;line-height:20px;color:#333333;">'
                  '%s</li>' % (FONT, link(t, u, '#2e7d32')) for t, _, _, u in ARTICLES)
    body = (row(image('kopf.bsp4@example.com', 'Der Gartenbrief – Ausgabe April der Gärtnerei '
                      'Sonnenhof', 600, 280), '0')
            + row(para(nav, 13, align='center', margin='0'), '12px 30px',
                  'background-color:#eef6e6;border-bottom:1px solid #d5e8c4;')
            + row(para('$ANREDE $NAME,', margin='24px 0 14px 0')
                  + para('der April macht, was er will – und wir Gärtnerinnen und Gärtner '
                         'freuen uns über jeden Sonnenstrahl. In dieser Ausgabe zeigen wir '
                         'Ihnen, wie Sie Ihren Garten fit für die Saison machen, verraten unser '
                         'liebstes Frühlingsrezept und laden Sie zu vierzehn Veranstaltungen ein.')
                  + para('<strong>In dieser Ausgabe:</strong>', margin='0 0 8px 0')
                  + '<ul style="margin:0 0 18px 0;padding:0 0 0 20px;">' + toc + '</ul>',
                  '0 30px'))
    plain = ('Der Gartenbrief – Ausgabe April\nGärtnerei Sonnenhof\n\n$ANREDE $NAME,\n\n'
             'der April macht, was er will – und wir Gärtnerinnen und Gärtner freuen uns über '
             'jeden Sonnenstrahl. In dieser Ausgabe zeigen wir Ihnen, wie Sie Ihren Garten fit '
             'für die Saison machen, verraten unser liebstes Frühlingsrezept und laden Sie zu '
             'vierzehn Veranstaltungen ein.\n\n')
    for i, (title, topic, paragraphs, url) in enumerate(ARTICLES):
        text = (para(topic.upper(), 11, '#7cb342', '0 0 4px 0')
                + heading(title, 20, '#1b5e20', '0 0 10px 0')
                + ''.join(para(p) for p in paragraphs)
                + button('Weiterlesen', url, '#2e7d32'))
        if i in images:
            cid, alt, _ = images[i]
            picture = ('<td width="290" valign="top" style="padding:%s;">'
                       % ('0 20px 0 0' if i % 2 == 0 else '0 0 0 20px')
                       + '<a href="%s" target="_blank">' % url + image(cid, alt, 290, 220)
                       + '</a></td>\n')
            words = '<td valign="top">' + text + '</td>\n'
            cells = picture + words if i % 2 == 0 else words + picture
            content = ('<table role="presentation" width="100%" cellpadding="0" '
                       'cellspacing="0" border="0">\n<tr>\n' + cells + '</tr>\n</table>')
        else:
            content = text
        body += row('<hr style="border:0;border-top:1px solid #e0e0e0;margin:0 0 20px 0;">'
                    + content, '6px 30px 4px 30px')
        plain += '%s\n%s\n\n%s\n\nWeiterlesen: %s\n\n' % (
            title, '=' * len(title), '\n\n'.join(paragraphs), url)
    events = ''.join(
        '<tr>\n<td width="110" style="padding:8px 8px 8px 0;border-bottom:1px solid #e8efe2;'
        '%sfont-size:14px;font-weight:bold;color:#1b5e20;">%s</td>\n'
        '<td width="60" style="padding:8px 8px;border-bottom:1px solid #e8efe2;'
        '%sfont-size:14px;color:#555555;">%s Uhr</td>\n'
        '<td style="padding:8px 8px;border-bottom:1px solid #e8efe2;%sfont-size:14px;'
        'color:#333333;">%s<br><span style="font-size:12px;color:#888888;">%s</span></td>\n'
        '</tr>\n' % (FONT, d, FONT, t, FONT, link(w, 'https://www.example.com/termine', '#333333'),
                     o) for d, t, w, o in EVENTS)
    body += row('<hr style="border:0;border-top:1px solid #e0e0e0;margin:0 0 20px 0;">'
                + heading('Termine bis Juni', 20, '#1b5e20')
                + '<table role="presentation" width="100%" cellpadding="0" cellspacing="0" '
                'border="0" style="margin:0 0 16px 0;">\n' + events + '</table>'
                + para('Die Teilnahme ist kostenlos, um Anmeldung wird gebeten: '
                       + link('zur Anmeldung', 'https://www.example.com/termine/anmeldung',
                              '#2e7d32') + '.'), '6px 30px 4px 30px')
    plain += 'Termine bis Juni\n================\n\n' + ''.join(
        '%s, %s Uhr: %s (%s)\n' % e for e in EVENTS)
    sowing = ''.join(
        '<tr>\n' + ''.join('<td valign="top" style="padding:7px 8px;border-bottom:1px solid '
                          '#e8efe2;%sfont-size:13px;line-height:18px;color:%s;%s">%s</td>\n'
                          % (FONT, '#1b5e20' if j == 0 else '#444444',
                             'font-weight:bold;' if j == 0 else '', cell)
                          for j, cell in enumerate(r)) + '</tr>\n' for r in SOWING)
    header_row = ''.join('<th align="left" style="padding:7px 8px;background-color:#2e7d32;'
                         '%sfont-size:13px;color:#ffffff;">%s</th>\n' % (FONT, h)
                         for h in ('Gemüse', 'Aussaat', 'Wie', 'Bis zur Ernte'))
    body += row('<hr style="border:0;border-top:1px solid #e0e0e0;margin:0 0 20px 0;">'
                + heading('Unser Aussaatkalender', 20, '#1b5e20')
                + para('Zum Aufheben: wann Sie was säen und wie lange Sie sich bis zur Ernte '
                       'gedulden müssen.')
                + '<table role="presentation" width="100%" cellpadding="0" cellspacing="0" '
                'border="0" style="margin:0 0 16px 0;">\n<tr>\n' + header_row + '</tr>\n'
                + sowing + '</table>'
                + para(link('Aussaatkalender als Seite zum Ausdrucken',
                            'https://www.example.com/gartenbrief/aussaatkalender', '#2e7d32')),
                '6px 30px 4px 30px')
    plain += '\nAnmeldung: https://www.example.com/termine/anmeldung\n\nUnser Aussaatkalender\n=====================\n\n'
    plain += ''.join('%s: %s, %s; bis zur Ernte %s\n' % r for r in SOWING)
    plain += '\nZum Ausdrucken: https://www.example.com/gartenbrief/aussaatkalender\n\nKurz gemeldet\n=============\n\n'
    news = ''
    for title, text, url in NEWS:
        news += ('<td width="50%%" valign="top" style="padding:0 10px 16px 0;">'
                 + para('<strong style="color:#1b5e20;">%s</strong><br>%s<br>%s'
                        % (title, text, link('Mehr erfahren', url, '#2e7d32')), 14, margin='0')
                 + '</td>\n')
        plain += '%s: %s\n%s\n\n' % (title, text, url)
    pairs = news.split('</td>\n')[:-1]
    news_rows = ''.join('<tr>\n' + pairs[i] + '</td>\n' + pairs[i + 1] + '</td>\n</tr>\n'
                        for i in range(0, len(pairs), 2))
    body += row('<hr style="border:0;border-top:1px solid #e0e0e0;margin:0 0 20px 0;">'
                + heading('Kurz gemeldet', 20, '#1b5e20')
                + '<table role="presentation" width="100%" cellpadding="0" cellspacing="0" '
                'border="0">\n' + news_rows + '</table>', '6px 30px 4px 30px')
    body += row(para('Wir wünschen Ihnen und allen bei $FIRMA in $ORT einen blühenden '
                     'Frühling!') + para('Herzliche Grüße aus dem Sonnenhof<br>Ihre Familie '
                                         'Gruber und das ganze Gärtnerei-Team',
                                         margin='0 0 24px 0'), '10px 30px 0 30px')
    body += footer(['Gärtnerei Sonnenhof · Am Feldrain 8 · 12345 Musterstadt · '
                    + link('www.example.com', 'https://www.example.com', '#777777'),
                    'Stand: $DATUM', unsubscribe_line()])
    plain += ('Wir wünschen Ihnen und allen bei $FIRMA in $ORT einen blühenden Frühling!\n\n'
              'Herzliche Grüße aus dem Sonnenhof\nIhre Familie Gruber und das ganze '
              'Gärtnerei-Team\n\nStand: $DATUM\n' + PLAIN_FOOTER)
    html = page('Der Gartenbrief – Ausgabe April', 'Garten fit machen, Tomaten vorziehen, '
                'Bärlauch-Pesto und vierzehn Termine bis Juni.', body, '#e8efe2')
    return build(4, 'Der Gartenbrief im April: Tomaten, Kräuter und vierzehn Termine',
                 'Gärtnerei Sonnenhof <gartenbrief@example.com>', plain, html,
                 [('kopf.bsp4@example.com', 'gartenbrief.jpg', 'jpeg', header),
                  ('tomate.bsp4@example.com', 'tomaten.jpg', 'jpeg', tomato),
                  ('blume.bsp4@example.com', 'biene.jpg', 'jpeg', flower)])


# --- 5: a seasonal greeting -------------------------------------------------------------

def sample5():
    flakes = []
    for i in range(46):  # a fixed scatter of snow, the same on every run
        x, y, r = (i * 137) % 600, (i * 89) % 330, 1 + (i * 7) % 4
        flakes += ['-draw', 'circle %d,%d %d,%d' % (x, y, x + r, y)]
    stars = []
    for x, y in ((80, 40), (150, 90), (470, 30), (540, 110), (60, 150), (390, 70)):
        stars += ['-draw', 'polygon %d,%d %d,%d %d,%d %d,%d'
                  % (x, y - 8, x + 3, y, x, y + 8, x - 3, y)]
    winter = magick('winter5.png', '-size', '330x600', 'gradient:#0b1d4a-#2d5a8c', '-rotate', '90',
                    '-fill', '#ffffff', '-draw', 'ellipse 300,330 420,50 180,360',
                    '-fill', '#eaf2fb', '-draw', 'ellipse 80,330 200,36 180,360',
                    '-fill', '#5b3a1e', '-draw', 'rectangle 292,262 308,290',
                    '-fill', '#1e6b3a', '-draw', 'polygon 300,120 250,200 350,200',
                    '-draw', 'polygon 300,150 240,235 360,235',
                    '-draw', 'polygon 300,185 230,270 370,270',
                    '-fill', '#f7d046', '-draw', 'polygon 300,100 305,114 320,114 308,123 312,137 300,128 288,137 292,123 280,114 295,114',
                    '-fill', '#e53935', '-draw', 'circle 280,190 285,190', '-draw', 'circle 322,225 327,225',
                    '-draw', 'circle 268,250 273,250', '-fill', '#fbc02d',
                    '-draw', 'circle 315,170 319,170', '-draw', 'circle 290,232 294,232',
                    '-draw', 'circle 338,258 342,258',
                    '-fill', '#ffffffcc', *flakes, '-fill', '#fff6c8', *stars,
                    *text_at(SERIF_ITALIC, 38, 'white', 0, 26, 'Frohe Festtage', 'North'),
                    *text_at(SANS_LIGHT, 18, '#dce8f7', 0, 78, 'und ein gesundes neues Jahr', 'North'))
    body = (row(image('winter.bsp5@example.com', 'Ein geschmückter Tannenbaum im Schnee unter '
                      'dem Sternenhimmel: Frohe Festtage und ein gesundes neues Jahr', 600, 330),
                '0')
            + row(para('$ANREDE $NAME,', 16, margin='30px 0 16px 0', align='center')
                  + para('ein bewegtes Jahr geht zu Ende. Wir danken Ihnen und allen bei $FIRMA '
                         'herzlich für Ihr Vertrauen, die gute Zusammenarbeit und so manches '
                         'freundliche Wort.', 16, align='center')
                  + para('Statt Geschenken unterstützen wir in diesem Jahr die Tafel in '
                         'Musterstadt. ' + link('Warum wir das tun',
                                                'https://www.example.com/aktuelles/spende')
                         + ', erzählen wir auf unserer Internetseite.', 16, align='center')
                  + para('Wir wünschen Ihnen erholsame Feiertage im Kreis Ihrer Liebsten und '
                         'für das neue Jahr Gesundheit, Glück und Erfolg.', 16, align='center')
                  + para('Zwischen den Jahren ist unser Büro vom 24. Dezember bis 1. Januar '
                         'geschlossen. Ab dem 2. Januar sind wir wieder für Sie da.', 13,
                         '#777777', align='center')
                  + para('Herzliche Grüße<br><span style="font-family:Georgia,serif;'
                         'font-style:italic;font-size:20px;color:#0b1d4a;">Ihr Team von '
                         'Muster Consulting</span>', 16, margin='10px 0 30px 0', align='center'),
                  '0 50px')
            + footer(['Muster Consulting GmbH · Am Lindenplatz 2 · 12345 Musterstadt · '
                      + link('www.example.com', 'https://www.example.com', '#b8c7dc'),
                      'Diese E-Mail ging an $MAIL · '
                      + link('Keine Grüße mehr erhalten',
                             'https://www.example.com/newsletter/abmelden', '#b8c7dc')],
                     '#b8c7dc', '#0b1d4a'))
    html = page('Frohe Festtage', 'Herzlichen Dank für Ihr Vertrauen in diesem Jahr!', body,
                '#dfe7f1')
    plain = ('Frohe Festtage und ein gesundes neues Jahr\n\n$ANREDE $NAME,\n\n'
             'ein bewegtes Jahr geht zu Ende. Wir danken Ihnen und allen bei $FIRMA herzlich '
             'für Ihr Vertrauen, die gute Zusammenarbeit und so manches freundliche Wort.\n\n'
             'Statt Geschenken unterstützen wir in diesem Jahr die Tafel in Musterstadt. Warum '
             'wir das tun: https://www.example.com/aktuelles/spende\n\n'
             'Wir wünschen Ihnen erholsame Feiertage im Kreis Ihrer Liebsten und für das neue '
             'Jahr Gesundheit, Glück und Erfolg.\n\n'
             'Zwischen den Jahren ist unser Büro vom 24. Dezember bis 1. Januar geschlossen. Ab '
             'dem 2. Januar sind wir wieder für Sie da.\n\nHerzliche Grüße\n'
             'Ihr Team von Muster Consulting\n\n--\nMuster Consulting GmbH · Am Lindenplatz 2 · '
             '12345 Musterstadt · https://www.example.com\nDiese E-Mail ging an $MAIL. Keine '
             'Grüße mehr erhalten: https://www.example.com/newsletter/abmelden\n')
    return build(5, 'Frohe Festtage und ein gesundes neues Jahr!',
                 'Muster Consulting <gruesse@example.com>', plain, html,
                 [('winter.bsp5@example.com', 'festtage.png', 'png', winter)])


# --- the empty draft --------------------------------------------------------------------

def dummy():
    """An empty draft: a mail program opens it as a new message to be written."""
    return (b'X-Unsent: 1\r\nSubject: \r\nDate: Tue, 01 Dec 2026 09:00:00 +0100\r\n'
            b'MIME-Version: 1.0\r\nContent-Type: text/plain; charset="utf-8"\r\n'
            b'Content-Transfer-Encoding: 7bit\r\n\r\n\r\n')


def main():
    for number, make in enumerate((sample1, sample2, sample3, sample4, sample5), 1):
        write('Vorlagen/Quillon_Bsp%d.eml' % number, make())
    write('temp/dummy.eml', dummy())
    return 0
    shutil.rmtree(WORK)


if __name__ == '__main__':
    sys.exit(main())
