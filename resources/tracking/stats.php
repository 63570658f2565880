<?php
// Click counter of tracked newsletter links: stats.php?nid=<newsletter id>&url=<target>.
// The target is everything after the first "&url=" of the raw query string, so the
// target's own "&" parameters stay whole. Only http: and https: targets are followed;
// anything else (javascript:, data:, a target with control characters) is refused, so
// the script can never be used to send visitors elsewhere or to forge header lines.
// Works on PHP 7.4 to 8.3 without extensions.
error_reporting(E_ERROR | E_PARSE);

$query = isset($_SERVER['QUERY_STRING']) ? (string)$_SERVER['QUERY_STRING'] : '';
$pos = strpos($query, '&url=');
if ($pos !== false) {
    $target = substr($query, $pos + 5);
} elseif (strncmp($query, 'url=', 4) === 0) {
    $target = substr($query, 4);
} else {
    $target = '';
}

$nid = isset($_GET['nid']) && is_string($_GET['nid']) ? $_GET['nid'] : '';
$nid = substr(preg_replace('/[^0-9A-Za-z_-]/', '', $nid), 0, 32);

function refuse($text)
{
    http_response_code(400);
    header('Content-Type: text/html; charset=UTF-8');
    echo '<!DOCTYPE html><html><head><meta charset="UTF-8"><title>Link</title></head><body><p>',
        htmlspecialchars($text, ENT_QUOTES | ENT_SUBSTITUTE, 'UTF-8'), '</p></body></html>';
    exit;
}

// No control characters, blanks or DEL at all: they have no place in an address and
// CR or LF would start a new header line.
// Encoded control characters are refused as well: a target is never decoded here, but
// the browser or a later script might.
if ($target === '' || strlen($target) > 4000 || preg_match('/[\x00-\x20\x7f]/', $target)
    || preg_match('/%(0[0-9a-f]|1[0-9a-f]|7f)/i', $target)) {
    refuse('Ungültiges Linkziel.');
}
if (!preg_match('~^https?://[^/?#\\\\@]+~i', $target)) {
    refuse('Dieses Linkziel wird nicht weitergeleitet.');
}

// Counts live in a PHP file that prints nothing when called: one line per newsletter
// and target, "nid<TAB>count<TAB>target". The exclusive lock makes parallel clicks
// count one by one.
$file = __DIR__ . '/stats_data.php';
$guard = "<?php exit; ?>\n";
$fp = fopen($file, 'c+');
if ($fp !== false) {
    if (flock($fp, LOCK_EX)) {
        $content = stream_get_contents($fp);
        if ($content === false) {
            $content = '';
        }
        $lines = explode("\n", $content);
        $out = array();
        $found = false;
        foreach ($lines as $line) {
            if ($line === '' || strncmp($line, '<?php', 5) === 0) {
                continue;
            }
            $parts = explode("\t", $line, 3);
            if (count($parts) !== 3) {
                continue;
            }
            if (!$found && $parts[0] === $nid && $parts[2] === $target) {
                $parts[1] = (string)((int)$parts[1] + 1);
                $found = true;
            }
            $out[] = implode("\t", $parts);
        }
        if (!$found) {
            $out[] = $nid . "\t1\t" . $target;
        }
        $data = $guard . implode("\n", $out) . "\n";
        rewind($fp);
        ftruncate($fp, 0);
        fwrite($fp, $data);
        fflush($fp);
        flock($fp, LOCK_UN);
    }
    fclose($fp);
}

header('Location: ' . $target, true, 302);
header('Content-Type: text/html; charset=UTF-8');
echo '<!DOCTYPE html><html><head><meta charset="UTF-8"><title>Weiterleitung</title></head><body>',
    '<a href="', htmlspecialchars($target, ENT_QUOTES | ENT_SUBSTITUTE, 'UTF-8'), '">Weiter</a>',
    '</body></html>';
