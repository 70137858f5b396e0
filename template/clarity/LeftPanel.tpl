<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="color-scheme" content="light dark">
<title>Contents</title>
<base target="panelFrame">
<link rel="stylesheet" href="css/theme.css">
<link rel="stylesheet" href="css/panel.css">
</head>
<body class="pk-leftpanel">
<nav class="pk-tabs" aria-label="Help navigation">
<ul>
<li><a href="HelpContent.html" rel="#iframe">Contents</a></li>{index_link}{search_link}
</ul>
</nav>
<iframe id="iframe" name="panelFrame" src="HelpContent.html" title="Contents"></iframe>
<script src="js/panel.js"></script>
</body>
</html>
