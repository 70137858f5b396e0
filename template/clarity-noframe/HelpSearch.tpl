<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="[#charset#]">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="color-scheme" content="light dark">
<title>[#title#]</title>
<link rel="stylesheet" href="css/theme.css">
<link rel="stylesheet" href="css/panel.css">
<link rel="icon" href="images/favicon.svg" type="image/svg+xml">
<style>.pk-standalone { max-width: 860px; margin: 0 auto; }</style>
</head>
<body class="pk-standalone pk-panelpage pk-searchpage">
<div class="pk-finder">
  <label class="pk-sr" for="pk-query">[#title#]: words to look for</label>
  <input id="pk-query" class="pk-field" type="search" placeholder="Search all topics" autocomplete="off" spellcheck="false">
  <p id="pk-status" class="pk-status" aria-live="polite">Loading the search data&hellip;</p>
</div>
<ul id="pk-results" class="pk-list" aria-label="Topics found" tabindex="0"></ul>
<p id="pk-hint" class="pk-hint">Topics with more of the words come first, then those with the words in their title or a heading; a word also finds longer words that start with it (<kbd>conf</kbd> finds <em>configure</em>), and <kbd>"two words"</kbd> in quotes finds them in this order.</p>
<noscript><p class="pk-hint">The search needs JavaScript.</p></noscript>
<script src="js/bridge.js"></script>
<script src="js/listnav.js"></script>
<script src="js/words.js"></script>
<script src="js/searchcore.js"></script>
<script src="js/search.js"></script>
</body>
</html>
