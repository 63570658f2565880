<?php
// Quillon web kit: stores newsletter orders and cancellations of the site's visitors and
// shows the collected lists behind the sync password.
//
//   mailin.php?send=ok&action=sign&double=on|off&cap=1|0&Mail=...&Anrede=...   an order
//   mailin.php?send=ok&action=delete&Mail=...                                  a cancellation
//   mailin.php?confirm=TOKEN           the link of the confirmation mail (double opt-in)
//   mailin.php?action=unsub&m=...&t=...  one-click unsubscribe (RFC 8058), see q_unsub
//   mailin.php (anything else)         the online list view, asks for the sync password
//
// Orders are appended to email_list_in.php, cancellations to email_list_out.php, after the
// password guard the program generated (with an empty sync password, the old unprotected
// configuration, to email_list_in.txt / email_list_out.txt). List lines, CR LF ended:
//   order:         address|date|Anrede|Betreff|Name|Column=value|...|time
//   cancellation:  address|date
// The lists are PHP files the site executes, so every value is cleaned to a safe set
// first: no < > ? | quotes backslash or control characters, blanks as "_", at most 100
// characters. Every append holds an exclusive lock on its file.
//
// Double opt-in: the order waits in hashes.csv (token|expiry|list line) until the link of
// the confirmation mail is opened; the token is random, used once and valid for 14 days.
// The kit's own subscribe.html decides whether double opt-in and the security code apply,
// so a request that leaves out or changes those hidden fields cannot skip them.
//
// Plain PHP 7.4 to 8.3; the security code needs GD (captcha.php).

error_reporting(E_ERROR | E_PARSE);
define("Q_DIR", dirname(__FILE__));
define("Q_MAX", 100);
define("Q_VALID_SECONDS", 14 * 24 * 3600);
ob_start();
@include(Q_DIR . "/mailin_pw.php");
ob_end_clean();
if (!isset($my_pass) || !is_string($my_pass)) {
    $my_pass = "";
}

function q_param($name) {
    if (isset($_POST[$name]) && is_string($_POST[$name])) {
        return $_POST[$name];
    }
    if (isset($_GET[$name]) && is_string($_GET[$name])) {
        return $_GET[$name];
    }
    return "";
}

function q_html($text) {
    return htmlspecialchars((string)$text, ENT_QUOTES, "Windows-1252");
}

// A text file the program wrote: Windows-1252, or UTF-8 with a byte-order mark.
function q_read_text($name) {
    $text = @file_get_contents(Q_DIR . "/" . $name);
    if ($text === false) {
        return "";
    }
    if (substr($text, 0, 3) === "\xEF\xBB\xBF") {
        $text = q_utf8_to_1252(substr($text, 3));
    }
    return trim(str_replace(array("\r", "\n"), " ", $text));
}

// UTF-8 (as a browser sends it from a UTF-8 page) to Windows-1252, the code page of the
// lists; characters Windows-1252 lacks are dropped.
function q_utf8_to_1252($text) {
    static $high = array(0x20AC => 0x80, 0x201A => 0x82, 0x0192 => 0x83, 0x201E => 0x84,
        0x2026 => 0x85, 0x2020 => 0x86, 0x2021 => 0x87, 0x02C6 => 0x88, 0x2030 => 0x89,
        0x0160 => 0x8A, 0x2039 => 0x8B, 0x0152 => 0x8C, 0x017D => 0x8E, 0x2018 => 0x91,
        0x2019 => 0x92, 0x201C => 0x93, 0x201D => 0x94, 0x2022 => 0x95, 0x2013 => 0x96,
        0x2014 => 0x97, 0x02DC => 0x98, 0x2122 => 0x99, 0x0161 => 0x9A, 0x203A => 0x9B,
        0x0153 => 0x9C, 0x017E => 0x9E, 0x0178 => 0x9F);
    return preg_replace_callback('/[\xC0-\xF7][\x80-\xBF]+/', function ($m) use ($high) {
        $b = $m[0];
        $n = strlen($b);
        $cp = $n == 2 ? ((ord($b[0]) & 0x1F) << 6) | (ord($b[1]) & 0x3F)
            : ($n == 3 ? ((ord($b[0]) & 0x0F) << 12) | ((ord($b[1]) & 0x3F) << 6) | (ord($b[2]) & 0x3F) : 0);
        if ($cp >= 0xA0 && $cp <= 0xFF) {
            return chr($cp);
        }
        return isset($high[$cp]) ? chr($high[$cp]) : "";
    }, $text);
}

// A visitor's value as it may stand in a list line.
function q_clean($value) {
    if (preg_match('/[\x80-\xFF]/', $value) && preg_match('//u', $value)) {
        $value = q_utf8_to_1252($value);
    }
    $value = preg_replace('/[\x00-\x1F\x7F<>?|"\'`\\\\]/', "", $value);
    $value = trim($value);
    $value = substr($value, 0, Q_MAX);
    return str_replace(" ", "_", $value);
}

// The address rule the program applies to list entries.
function q_valid_address($a) {
    if (strlen($a) > Q_MAX || !preg_match('/^[A-Za-z0-9._-]+@[A-Za-z0-9._-]+$/', $a)) {
        return false;
    }
    if (strpos($a, "..") !== false) {
        return false;
    }
    $domain = substr($a, strpos($a, "@") + 1);
    $dot = strpos($domain, ".");
    return strlen($domain) > 3 && $dot !== false && strlen($domain) - $dot - 1 >= 2;
}

function q_page($title, $body) {
    header("Content-Type: text/html; charset=windows-1252");
    header("Cache-Control: no-store");
    echo "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n";
    echo "<html><head><title>" . q_html($title) . "</title>";
    echo "<LINK href=\"layout.css\" rel=\"stylesheet\" type=\"text/css\"></head>\r\n";
    echo "<body><br><br><div align=\"center\"><table width=\"400\" class=\"rahmen\" cellspacing=\"1\" border=\"0\"><tr><td>\r\n";
    echo "<table width=\"100%\" class=\"content\" border=\"0\"><tr><td><br>&nbsp;<span class=\"headline\">" . q_html($title) . "</span><br><br>\r\n";
    echo $body;
    echo "<br><br></td></tr></table></td></tr></table></div></body></html>\r\n";
}

function q_message($title, $text) {
    q_page($title, "<p>" . q_html($text) . "</p>\r\n");
}

// Whether the kit's own order form carries this hidden value.
function q_kit_says($name, $value) {
    static $form = null;
    if ($form === null) {
        $form = (string)@file_get_contents(Q_DIR . "/subscribe.html");
    }
    return strpos($form, "name=\"" . $name . "\" value=\"" . $value . "\"") !== false;
}

// The web folder of the kit, as the user entered it when the kit was generated.
function q_base_url() {
    $form = (string)@file_get_contents(Q_DIR . "/subscribe.html");
    if (preg_match('#action="(https?://[^"<>\s]+/)mailin\.php"#', $form, $m)) {
        return $m[1];
    }
    $host = isset($_SERVER["HTTP_HOST"]) ? $_SERVER["HTTP_HOST"] : "";
    if (!preg_match('/^[A-Za-z0-9.-]+(:[0-9]+)?$/', $host)) {
        $host = "localhost";
    }
    $https = !empty($_SERVER["HTTPS"]) && $_SERVER["HTTPS"] !== "off";
    $path = str_replace("\\", "/", dirname(isset($_SERVER["SCRIPT_NAME"]) ? $_SERVER["SCRIPT_NAME"] : "/"));
    $path = preg_replace('#[^A-Za-z0-9._~/-]#', "", rtrim($path, "/")) . "/";
    return ($https ? "https://" : "http://") . $host . $path;
}

function q_list_file($kind) {
    global $my_pass;
    return Q_DIR . "/email_list_" . $kind . ($my_pass === "" ? ".txt" : ".php");
}

// Appends one line under an exclusive lock. A guarded list must exist (its header is the
// program's); the old .txt lists are created when missing. With $once_for the line is
// left out when the file already holds a line beginning with that text (any case), so a
// link opened again and again does not grow the list.
function q_append($file, $line, $once_for = "") {
    if (substr($file, -4) === ".php" && !is_file($file)) {
        return false;
    }
    $h = @fopen($file, "a+b");
    if (!$h) {
        return false;
    }
    $ok = flock($h, LOCK_EX);
    if ($ok) {
        $known = false;
        rewind($h);
        while ($once_for !== "" && !$known && ($stored = fgets($h)) !== false) {
            $known = stripos($stored, $once_for) === 0;
        }
        if (!$known) {
            fseek($h, 0, SEEK_END);
            $ok = fwrite($h, $line . "\r\n") === strlen($line) + 2;
            fflush($h);
        }
        flock($h, LOCK_UN);
    }
    fclose($h);
    return $ok;
}

function q_store_failed() {
    q_message("Fehler", "Ihre Eingabe konnte auf dem Server nicht gespeichert werden. Bitte versuchen Sie es später noch einmal.");
    exit;
}

function q_now_fields() {
    return array(date("Y-m-d"), date("H:i:s"));
}

// The order as a list line: address, date, Anrede, Betreff, Name, further columns as
// name=value pairs, time.
function q_order_line($address) {
    $now = q_now_fields();
    $fields = array($address, $now[0], q_clean(q_param("Anrede")), q_clean(q_param("Betreff")),
                    q_clean(q_param("Name")));
    $reserved = array("send", "action", "double", "cap", "code", "confirm", "password",
                      "mail", "anrede", "betreff", "name");
    $pairs = 0;
    foreach (array_merge($_GET, $_POST) as $key => $value) {
        if (!is_string($key) || !is_string($value) || in_array(strtolower($key), $reserved, true)
            || !preg_match('/^[A-Za-z0-9_]{1,40}$/', $key) || $pairs >= 50) {
            continue;
        }
        $fields[] = $key . "=" . q_clean($value);
        ++$pairs;
    }
    $fields[] = $now[1];
    return implode("|", $fields);
}

function q_send_confirmation($address, $token) {
    $subject = q_read_text("email_subject.txt");
    $text = q_read_text("email_text.txt");
    $link = q_base_url() . "mailin.php?confirm=" . $token;
    $body = wordwrap($text, 76, "\r\n") . "\r\n\r\n" . $link . "\r\n\r\n"
          . "+++Automatisch erzeugter Link+++\r\n"
          . "Wenn dieser Link nicht innerhalb von 2 Wochen angeklickt \r\n"
          . "wird, wird die Eintragung wieder unwirksam.\r\n";
    $headers = "MIME-Version: 1.0\r\n"
             . "Content-Type: text/plain; charset=windows-1252\r\n"
             . "Content-Transfer-Encoding: 8bit";
    $encoded = "=?windows-1252?B?" . base64_encode($subject) . "?=";
    return mail($address, $encoded, $body, $headers);
}

function q_captcha_page($error) {
    $q_error = $error;
    $q_fields = array();
    foreach (array_merge($_GET, $_POST) as $key => $value) {
        if (is_string($key) && is_string($value) && $key !== "code") {
            $q_fields[$key] = $value;
        }
    }
    define("Q_CAPTCHA_PAGE", 1);
    include(Q_DIR . "/submit-seite.php");
    exit;
}

// The security code: once per image, compared without regard to case.
function q_captcha_ok() {
    if (session_status() !== PHP_SESSION_ACTIVE) {
        @session_start();
    }
    $expected = isset($_SESSION["quillon_captcha"]) ? (string)$_SESSION["quillon_captcha"] : "";
    unset($_SESSION["quillon_captcha"]);
    $given = strtoupper(trim(q_param("code")));
    return $expected !== "" && hash_equals($expected, $given);
}

function q_order() {
    $address = trim(q_param("Mail"));
    if (!q_valid_address($address)) {
        q_message("Fehler", "Bitte geben Sie eine gültige E-Mail-Adresse ein!");
        return;
    }
    if (q_param("cap") === "1" || q_kit_says("cap", "1")) {
        if (!isset($_GET["code"]) && !isset($_POST["code"])) {
            q_captcha_page("");
        }
        if (!q_captcha_ok()) {
            q_captcha_page("Der Sicherheitscode war nicht richtig. Bitte geben Sie den neuen Code ein.");
        }
    }
    $line = q_order_line($address);
    if (q_param("double") !== "off" || q_kit_says("double", "on")) {
        $token = bin2hex(random_bytes(16));
        $entry = $token . "|" . (time() + Q_VALID_SECONDS) . "|" . $line;
        if (!q_append(Q_DIR . "/hashes.csv", $entry)) {
            q_store_failed();
        }
        if (!q_send_confirmation($address, $token)) {
            q_message("Fehler", "Die Bestätigungsmail konnte nicht versandt werden. Bitte versuchen Sie es später noch einmal.");
            return;
        }
    } elseif (!q_append(q_list_file("in"), $line)) {
        q_store_failed();
    }
    q_message("Newsletter", q_read_text("subscribemessage.txt"));
}

function q_cancel() {
    $address = trim(q_param("Mail"));
    if (!q_valid_address($address)) {
        q_message("Fehler", "Bitte geben Sie eine gültige E-Mail-Adresse ein!");
        return;
    }
    $now = q_now_fields();
    if (!q_append(q_list_file("out"), $address . "|" . $now[0])) {
        q_store_failed();
    }
    q_message("Newsletter", "Ihre Abbestellung wurde gespeichert. Sie erhalten den Newsletter in Kürze nicht mehr.");
}

// The token of an unsubscribe link: HMAC-SHA256 of the lower-cased address keyed with the
// sync password, in lower-case hex. Without a sync password no token is valid.
function q_unsub_token_ok($address, $token) {
    global $my_pass;
    if ($my_pass === "" || !preg_match('/^[0-9a-f]{64}$/', $token)) {
        return false;
    }
    return hash_equals(hash_hmac("sha256", strtolower($address), $my_pass), $token);
}

// One-click unsubscribe, the link of every newsletter's List-Unsubscribe header
// (mailin.php?action=unsub&m=ADDRESS&t=TOKEN). The mail program's POST with the body
// List-Unsubscribe=One-Click stores the cancellation as the cancellation form does and
// answers 200 without a redirect. A GET only shows a page whose button sends that POST,
// so a link scanner that opens the link unsubscribes nobody. A wrong or missing token is
// refused with 403 and stores nothing.
function q_unsub() {
    $address = trim(q_param("m"));
    $token = strtolower(trim(q_param("t")));
    if (!q_valid_address($address) || !q_unsub_token_ok($address, $token)) {
        http_response_code(403);
        q_message("Fehler", "Dieser Abmelde-Link ist ungültig.");
        return;
    }
    $one_click = $_SERVER["REQUEST_METHOD"] === "POST" && isset($_POST["List-Unsubscribe"])
        && $_POST["List-Unsubscribe"] === "One-Click";
    if (!$one_click) {
        $target = "mailin.php?action=unsub&m=" . rawurlencode($address) . "&t=" . $token;
        q_page("Newsletter abbestellen", "<p>Möchten Sie den Newsletter für die Adresse <b>"
               . q_html($address) . "</b> abbestellen?</p>\r\n"
               . "<form method=\"post\" action=\"" . q_html($target) . "\">"
               . "<input type=\"hidden\" name=\"List-Unsubscribe\" value=\"One-Click\">"
               . "<input type=\"submit\" value=\"Newsletter abbestellen\"></form>\r\n");
        return;
    }
    $now = q_now_fields();
    if (!q_append(q_list_file("out"), $address . "|" . $now[0], $address . "|")) {
        http_response_code(500);
        q_store_failed();
    }
    q_message("Newsletter", "Ihre Abmeldung wurde gespeichert. Sie erhalten den Newsletter in Kürze nicht mehr.");
}

// The link of the confirmation mail: takes the waiting order out of hashes.csv (dropping
// expired ones on the way) and appends it to the list of orders.
function q_confirm($token) {
    $h = preg_match('/^[0-9a-f]{32}$/', $token) ? @fopen(Q_DIR . "/hashes.csv", "r+b") : false;
    if (!$h) {
        q_message("Fehler", "Dieser Bestätigungslink ist ungültig oder wurde bereits verwendet.");
        return;
    }
    flock($h, LOCK_EX);
    $lines = preg_split('/\r\n|\n/', stream_get_contents($h));
    $keep = array();
    $found = null;
    $expired = false;
    foreach ($lines as $line) {
        $parts = explode("|", $line, 3);
        if (count($parts) !== 3) {
            if ($line !== "") {
                $keep[] = $line;
            }
            continue;
        }
        $alive = (int)$parts[1] >= time();
        if (hash_equals($parts[0], $token)) {
            if ($alive) {
                $found = $parts[2];
            } else {
                $expired = true;
            }
        } elseif ($alive) {
            $keep[] = $line;
        }
    }
    $stored = true;
    if ($found !== null) {
        $stored = q_append(q_list_file("in"), $found);
    }
    if ($stored) {
        rewind($h);
        ftruncate($h, 0);
        fwrite($h, implode("\r\n", $keep) . "\r\n");
        fflush($h);
    }
    flock($h, LOCK_UN);
    fclose($h);
    if (!$stored) {
        q_store_failed();
    } elseif ($found !== null) {
        q_message("Newsletter", "Vielen Dank! Ihre Newsletter-Bestellung ist bestätigt.");
    } elseif ($expired) {
        q_message("Fehler", "Dieser Bestätigungslink ist abgelaufen. Bitte bestellen Sie den Newsletter erneut.");
    } else {
        q_message("Fehler", "Dieser Bestätigungslink ist ungültig oder wurde bereits verwendet.");
    }
}

// The entries of a list: the lines after its guard header.
function q_list_entries($kind) {
    $all = (string)@file_get_contents(q_list_file($kind));
    $at = strpos($all, "\n?" . ">");
    if ($at !== false) {
        $end = strpos($all, "\n", $at + 3);
        $all = $end === false ? "" : substr($all, $end + 1);
    }
    $entries = array();
    foreach (preg_split('/\r\n|\n|\r/', $all) as $line) {
        if (trim($line) !== "") {
            $entries[] = $line;
        }
    }
    return $entries;
}

function q_list_table($title, $entries) {
    $html = "<b>" . q_html($title) . " (" . count($entries) . ")</b><br>\r\n<table border=\"0\" class=\"content\">\r\n";
    foreach ($entries as $line) {
        $html .= "<tr>";
        foreach (explode("|", $line) as $field) {
            $html .= "<td>" . q_html(str_replace("_", " ", $field)) . "</td>";
        }
        $html .= "</tr>\r\n";
    }
    return $html . "</table><br>\r\n";
}

function q_list_view() {
    global $my_pass;
    $given = q_param("password");
    if ($given !== "" && $my_pass !== "" && hash_equals($my_pass, $given)) {
        q_page("Online-Liste", q_list_table("Bestellungen", q_list_entries("in"))
               . q_list_table("Abbestellungen", q_list_entries("out")));
        return;
    }
    $note = $given !== "" ? "<p>Das Passwort ist falsch.</p>\r\n" : "";
    if ($my_pass === "") {
        $note = "<p>Für diese Liste ist kein Passwort eingerichtet.</p>\r\n";
    }
    q_page("Online-Liste", $note
           . "<form method=\"post\" action=\"mailin.php\">Passwort für die Newslettersynchronisation:<br>\r\n"
           . "<input type=\"password\" name=\"password\" size=\"30\"> <input type=\"submit\" value=\"Anzeigen\"></form>\r\n");
}

$action = q_param("action");
if (q_param("confirm") !== "") {
    q_confirm(q_param("confirm"));
} elseif ($action === "sign") {
    q_order();
} elseif ($action === "delete") {
    q_cancel();
} elseif ($action === "unsub") {
    q_unsub();
} else {
    q_list_view();
}
