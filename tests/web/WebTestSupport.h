#pragma once
#include "support/TempProgramFolder.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QStringList>

// A site folder in the form the web kit lays out: the sync password file and the two
// guarded lists with their request lines after the guard, each line ended by CR LF.
inline QByteArray crlfLines(const QStringList& lines) {
    QByteArray out;
    for (const QString& l : lines)
        out += l.toUtf8() + "\r\n";
    return out;
}

inline QByteArray listGuard() {
    return crlfLines({"<?php", "error_reporting(E_ERROR | E_PARSE);", "include(\"mailin_pw.php\");",
                      "if(isset($_GET[\"password\"])){$act_pass = $_GET[\"password\"];} else { "
                      "$act_pass = \"\"; }",
                      "if (!hash_equals($my_pass, $act_pass)) { echo \"Access denied\"; Exit; }",
                      "?>", "\r"});
}

inline void writeSite(const QString& root, const QString& password, const QStringList& orders,
                      const QStringList& cancellations) {
    writeBytes(root + "/mailin_pw.php",
               crlfLines({"<?php $my_pass = \"" + password + "\"; ?>", "\r"}));
    writeBytes(root + "/email_list_in.php", listGuard() + crlfLines(orders));
    writeBytes(root + "/email_list_out.php", listGuard() + crlfLines(cancellations));
    // Stands in for the site's wipe: empties both lists down to their guard and notes
    // that it was called.
    writeBytes(root + "/wipe_files.php",
               "<?php\nforeach (array('email_list_in.php', 'email_list_out.php') as $f) {\n"
               "  $c = file_get_contents(__DIR__ . '/' . $f);\n"
               "  $p = strpos($c, \"?>\\r\\n\");\n"
               "  file_put_contents(__DIR__ . '/' . $f, substr($c, 0, $p + 4) . \"\\r\\r\\n\");\n"
               "}\nfile_put_contents(__DIR__ . '/wiped.txt', 'x', FILE_APPEND);\n"
               "echo '<html><body>Listen geleert</body></html>';\n");
    writeBytes(root + "/mailin.php", "<?php echo 'Liste'; ?>");
}
