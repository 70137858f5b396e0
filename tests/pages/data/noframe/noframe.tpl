<!DOCTYPE html>
<html>
<head><title>{metatitle} - {title}</title>
<meta name="keywords" content="{metakeywords}"><meta name="description" content="{metadescription}">
<link rel="stylesheet" href="{root_url}css/site.css"></head>
<body data-treeid="{treeid}">
<header>{header}</header>
<nav>{tree}</nav>
<main>{nav_bar}
<div class="content">{content}</div>
{rel_topics}</main>
<footer>{footor}</footer>
</body>
</html>
