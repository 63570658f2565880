<?php
// Quillon web kit: the security-code image (PHP with GD). Each image gets a new random
// code, kept in the visitor's session until mailin.php checks it once.
error_reporting(E_ERROR | E_PARSE);
session_start();
$q_chars = "ABCDEFGHJKLMNPRSTUVWXYZ23456789";
$q_code = "";
for ($i = 0; $i < 5; ++$i) {
    $q_code .= $q_chars[random_int(0, strlen($q_chars) - 1)];
}
$_SESSION["quillon_captcha"] = $q_code;
session_write_close();

$q_dir = dirname(__FILE__);
$q_image = @imagecreatefrompng($q_dir . "/captcha.png");
if (!$q_image) {
    $q_image = imagecreatetruecolor(160, 50);
    imagefill($q_image, 0, 0, imagecolorallocate($q_image, 235, 240, 250));
}
$q_width = imagesx($q_image);
$q_height = imagesy($q_image);
for ($i = 0; $i < 6; ++$i) {
    $q_grey = imagecolorallocate($q_image, random_int(120, 200), random_int(120, 200), random_int(120, 200));
    imageline($q_image, random_int(0, $q_width), random_int(0, $q_height), random_int(0, $q_width),
              random_int(0, $q_height), $q_grey);
}
$q_font = $q_dir . "/XFILES.TTF";
$q_ink = imagecolorallocate($q_image, 20, 40, 90);
for ($i = 0; $i < strlen($q_code); ++$i) {
    $q_x = 10 + $i * (($q_width - 20) / 5);
    if (function_exists("imagettftext") && is_file($q_font)) {
        imagettftext($q_image, 20, random_int(-20, 20), (int)$q_x, (int)($q_height * 0.72), $q_ink, $q_font, $q_code[$i]);
    } else {
        imagestring($q_image, 5, (int)$q_x + 4, (int)($q_height / 2) - 8, $q_code[$i], $q_ink);
    }
}
header("Content-Type: image/png");
header("Cache-Control: no-store");
imagepng($q_image);
imagedestroy($q_image);
