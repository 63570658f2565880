<?php
// Evaluation page of the click counter: auswertung.php?password=<statistics password>.
// Shows the clicks per newsletter and link that stats.php counted. The password is
// compared with hash_equals as text, so a number-like password is never compared as a
// number. Everything shown is HTML-escaped. Works on PHP 7.4 to 8.3.
error_reporting(E_ERROR | E_PARSE);
header('Content-Type: text/html; charset=UTF-8');

$my_pass = '';
include(__DIR__ . '/stats_pw.php');
$given = isset($_GET['password']) && is_string($_GET['password']) ? $_GET['password'] : '';

function h($text)
{
    return htmlspecialchars((string)$text, ENT_QUOTES | ENT_SUBSTITUTE, 'UTF-8');
}

echo "<!DOCTYPE html>\n<html><head><meta charset=\"UTF-8\"><title>Newsletter Statistik</title>\n";
echo "<style>body{font-family:Arial,Helvetica,sans-serif;font-size:13px}"
    . "table{border-collapse:collapse;margin-bottom:18px}"
    . "td,th{border:1px solid #999;padding:3px 8px;text-align:left}"
    . "td.n{text-align:right}</style></head><body>\n";

if (!is_string($my_pass) || $my_pass === '' || !hash_equals($my_pass, $given)) {
    http_response_code(403);
    echo "<p>Zugriff verweigert: falsches Passwort.</p></body></html>\n";
    exit;
}

echo "<h2>Newsletter Statistik (Klicks)</h2>\n";

$counts = array();
$fp = @fopen(__DIR__ . '/stats_data.php', 'r');
if ($fp !== false) {
    if (flock($fp, LOCK_SH)) {
        while (($line = fgets($fp)) !== false) {
            $line = rtrim($line, "\r\n");
            if ($line === '' || strncmp($line, '<?php', 5) === 0) {
                continue;
            }
            $parts = explode("\t", $line, 3);
            if (count($parts) !== 3) {
                continue;
            }
            $counts[$parts[0]][$parts[2]] = (int)$parts[1];
        }
        flock($fp, LOCK_UN);
    }
    fclose($fp);
}

if (count($counts) === 0) {
    echo "<p>Es wurden noch keine Klicks gezählt.</p>\n";
}
krsort($counts, SORT_STRING);
foreach ($counts as $nid => $links) {
    $title = (string)$nid;
    if (preg_match('/^(\d{4})(\d{2})(\d{2})(\d{2})(\d{2})$/', $title, $m)) {
        $title = $m[3] . '.' . $m[2] . '.' . $m[1] . ' ' . $m[4] . ':' . $m[5] . ' Uhr';
    }
    arsort($links);
    $sum = array_sum($links);
    echo '<h3>Newsletter vom ', h($title), ' (', h($nid), ')</h3>', "\n";
    echo "<table><tr><th>Link</th><th>Klicks</th></tr>\n";
    foreach ($links as $url => $n) {
        echo '<tr><td>', h($url), '</td><td class="n">', (int)$n, "</td></tr>\n";
    }
    echo '<tr><th>Summe</th><th class="n">', (int)$sum, "</th></tr></table>\n";
}
echo "</body></html>\n";
