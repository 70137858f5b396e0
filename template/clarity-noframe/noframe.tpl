<!DOCTYPE html>
<html lang="en">
<head>
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="color-scheme" content="light dark">
<title>{metatitle} &ndash; {title}</title>
<meta name="keywords" content="{metakeywords}">
<meta name="description" content="{description}">
{canonical}
<meta name="generator" content="Plovik">
<link rel="icon" href="{root_url}images/favicon.svg" type="image/svg+xml">
<link rel="stylesheet" href="{root_url}css/theme.css">
<link rel="stylesheet" href="{root_url}css/tree.css">
<link rel="stylesheet" href="{root_url}css/noframe.css">
</head>
<body class="pk-nf">
<a class="pk-skip" href="#pk-main">Skip to the topic</a>
<header class="pk-bar">
  <button type="button" id="pk-menu" class="pk-menu" aria-controls="pk-nav" aria-expanded="false"><span class="pk-menu-icon" aria-hidden="true"></span><span class="pk-menu-label">Contents</span></button>
  <div class="pk-header">{header}</div>
  <div class="pk-find" role="search"{search_hidden}><input id="pk-find" type="search" placeholder="Search (press /)" aria-label="Search all topics" autocomplete="off" spellcheck="false"><ul id="pk-find-list" class="pk-find-list" role="listbox" aria-label="Topics found" hidden></ul></div>
  {index_link}
</header>
<div class="pk-layout">
  <nav id="pk-nav" class="pk-nav" aria-label="Contents">
    <ul id="pk-tree" class="pk-tree"></ul>
    <noscript><p class="pk-status">The contents need script; the links by each topic lead on.</p></noscript>
  </nav>
  <div id="pk-scrim" class="pk-scrim"></div>
  <main id="pk-main" class="pk-main" tabindex="-1">
    <nav class="pk-crumbs" aria-label="Breadcrumb">{breadcrumbs}</nav>
    <div class="pk-navbar">{nav_bar}</div>
    <article class="pk-topic">
{content}
    </article>
    <aside class="pk-related" aria-label="Related topics">{rel_topics}</aside>
    <div class="pk-navbar pk-navbar-end">{nav_bar}</div>
    <footer class="pk-footer">{footor}</footer>
  </main>
</div>
<script>var pkCurrentNode = {treeid}; var pkRoot = "{root_url}";</script>
<script src="{tree_data}"></script>
<script src="{root_url}js/tree.js"></script>
<script src="{root_url}js/noframe.js"></script>
<script src="{root_url}js/nfsearch.js"></script>
<script src="{root_url}js/mark.js"></script>
</body>
</html>
