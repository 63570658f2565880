<?php
// Quillon web kit: removes the entries the program has fetched from the lists.
//
// How fetch and wipe work together (the program's side and the site's side):
// 1. Fetch: GET email_list_in.php?password=PW and email_list_out.php?password=PW.
//    A wrong or missing password gets the text "Access denied". The right one gets the
//    list: the bytes after the guard header (a line holding a single CR, then one list
//    line per request, CR LF ended). While it holds a shared lock on the list, the guard
//    records in email_list_in_served.php (email_list_out_served.php) how many bytes of
//    its file it served, and a checksum of them (a PHP file that shows nothing).
// 2. Wipe: GET wipe_files.php?NUMBER (the number only defeats caches). For each list it
//    takes an exclusive lock, and when the recorded bytes are still the start of the
//    file, removes exactly those entries: the guard header stays, and every request that
//    arrived after the fetch stays for the next fetch. Then the record is deleted, so a
//    second wipe removes nothing. A list that was not fetched, or that changed in another
//    way than by appending (uploaded anew), is left as it is.
//    An optional password=PW parameter is checked like the guards' ("Access denied").
// 3. Old configuration without a sync password: the lists are email_list_in.txt and
//    email_list_out.txt, read directly; the wipe empties them.
// The answer is a short German page; the program only waits for it to load.
error_reporting(E_ERROR | E_PARSE);
header("Content-Type: text/html; charset=windows-1252");
header("Cache-Control: no-store");
$q_dir = dirname(__FILE__);
ob_start();
@include($q_dir . "/mailin_pw.php");
ob_end_clean();
if (!isset($my_pass) || !is_string($my_pass)) {
    $my_pass = "";
}
if (isset($_GET["password"]) && (!is_string($_GET["password"]) || $my_pass === ""
    || !hash_equals($my_pass, $_GET["password"]))) {
    echo "Access denied";
    exit;
}

// Where the list lines of a guarded list start: after the line that closes its header and
// the line holding a single CR that follows it.
function q_header_end($all) {
    $at = strpos($all, "\n?" . ">");
    if ($at === false) {
        return 0;
    }
    $end = strpos($all, "\n", $at + 3);
    if ($end === false) {
        return strlen($all);
    }
    if (preg_match('/^\r*\n/', substr($all, $end + 1), $m)) {
        $end += strlen($m[0]);
    }
    return $end + 1;
}

function q_wipe_served($list, $served) {
    if (!is_file($list) || !is_file($served)) {
        return 0;
    }
    $h = @fopen($list, "r+b");
    if (!$h) {
        return 0;
    }
    $removed = 0;
    if (flock($h, LOCK_EX)) {
        $all = stream_get_contents($h);
        $ok = preg_match('/(\d+)\|([0-9a-f]{32})\s*$/', (string)@file_get_contents($served), $record);
        $n = $ok ? (int)$record[1] : -1;
        $start = q_header_end($all);
        if ($n >= $start && $n <= strlen($all) && hash_equals($record[2], md5(substr($all, 0, $n)))) {
            $removed = preg_match_all('/[^\r\n]+/', substr($all, $start, $n - $start));
            $kept = substr($all, 0, $start) . substr($all, $n);
            rewind($h);
            ftruncate($h, 0);
            fwrite($h, $kept);
            fflush($h);
        }
        @unlink($served);
        flock($h, LOCK_UN);
    }
    fclose($h);
    return $removed;
}

function q_wipe_old($list) {
    if (!is_file($list)) {
        return;
    }
    $h = @fopen($list, "r+b");
    if ($h && flock($h, LOCK_EX)) {
        ftruncate($h, 0);
        flock($h, LOCK_UN);
    }
    if ($h) {
        fclose($h);
    }
}

$q_removed = 0;
foreach (array("email_list_in", "email_list_out") as $q_list) {
    $q_removed += q_wipe_served($q_dir . "/" . $q_list . ".php", $q_dir . "/" . $q_list . "_served.php");
    if ($my_pass === "") {
        q_wipe_old($q_dir . "/" . $q_list . ".txt");
    }
}
echo "<html><head><title>Quillon</title></head><body><p>Die abgeholten Eintr&auml;ge wurden online gel&ouml;scht ("
    . (int)$q_removed . ").</p></body></html>";
