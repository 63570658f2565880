<?php
// Quillon web kit: the security-code page. mailin.php shows it for an order when the form
// asks for a security code: the visitor's entries travel on as hidden fields (escaped), the
// image comes from captcha.php, and the code goes back to mailin.php with them.
error_reporting(E_ERROR | E_PARSE);
if (!defined("Q_CAPTCHA_PAGE")) {
    header("Content-Type: text/html; charset=windows-1252");
    echo "<html><body><p>Bitte benutzen Sie das Bestellformular.</p></body></html>";
    exit;
}
$q_hidden = "";
foreach ($q_fields as $q_name => $q_value) {
    $q_hidden .= "<input type=\"hidden\" name=\"" . q_html($q_name) . "\" value=\"" . q_html($q_value) . "\">\r\n";
}
$q_note = $q_error !== "" ? "<p><b>" . q_html($q_error) . "</b></p>\r\n" : "";
q_page("Sicherheitscode", $q_note
    . "<form name=\"captcha\" method=\"get\" action=\"mailin.php\">\r\n" . $q_hidden
    . "<p>Bitte geben Sie den Sicherheitscode aus dem Bild ein:</p>\r\n"
    . "<p><img src=\"captcha.php?" . random_int(0, 999999) . "\" width=\"160\" height=\"50\" alt=\"Sicherheitscode\"></p>\r\n"
    . "<p><input type=\"text\" name=\"code\" size=\"10\" maxlength=\"10\" autocomplete=\"off\"> "
    . "<input type=\"submit\" value=\"Bestellen\"></p></form>\r\n");
